// Small text helpers shared by the loaders.
#pragma once

// A new heap copy of text (released with delete[] by its owner); nullptr for nullptr.
char* DuplicateString(const char* text);

// The part of name after its last '.', empty when the name ends with the dot;
// nullptr when the name has no dot.
const char* FileExtension(const char* name);

// True when the extension of name equals extension, ignoring letter case
// ("x.DDS" has extension "dds"). A name without a dot has no extension.
bool HasExtension(const char* name, const char* extension);

// True for an empty text or one made only of tab, line feed, carriage return and
// blank; any other character (vertical tab and form feed included) is not blank.
bool IsBlank(const char* text);
