// Read access to the demo's configuration file, vlm.ini.
//
// The file is in the private-profile ("INI") format and is read afresh on every
// call: nothing is cached, so a value is whatever the file says when it is asked
// for. Rules of the format as read here:
// - "[name]" starts a section; "key = value" lines belong to the last section;
// - section and key names are compared without regard to ASCII letter case, and
//   the first matching section and the first matching key in it win;
// - blanks around names and values are trimmed, and a value enclosed in a pair of
//   matching quotes (" or ') loses them;
// - lines whose first non-blank character is ';' are comments;
// - a missing file, section or key gives the default;
// - values are cut to fit the caller's buffer (1023 characters by default).
#pragma once

#include <string>
#include <vector>

class IniFile {
public:
    static constexpr int kValueBufferSize = 1024;

    explicit IniFile(const char* path = "") : path_(path ? path : "") {}
    void setPath(const char* path) { path_ = path ? path : ""; }
    const char* path() const { return path_.c_str(); }

    // Copies the value (or the default, trailing blanks removed) into out, which
    // holds outSize bytes; returns the number of characters copied.
    int getString(const char* section, const char* key, char* out, const char* defaultValue,
                  int outSize = kValueBufferSize) const;
    // Reads the value as decimal text with the atoi rules (leading blanks, optional
    // sign, digits; anything else ends the number; no digits gives 0). A missing key
    // gives the default. The result is stored in out and returned.
    int getInt(const char* section, const char* key, int& out, int defaultValue) const;
    // The key names of the first section of that name, in file order, each once
    // (none for a missing file or section).
    std::vector<std::string> keys(const char* section) const;
    // Reads the value with the atof rules (2.5 -> 2.5, "2,5" -> 2, 1e1 -> 10).
    void getFloat(const char* section, const char* key, float& out, float defaultValue) const;

private:
    std::string path_;
};

// Splits text in place at every space and converts each item as a float into out
// (room for kFloatListCapacity values). count becomes the number of items, at most
// the capacity; further items are ignored. An item that does not convert (an empty
// one between two spaces, or an empty text) is stored as 0.
constexpr int kFloatListCapacity = 256;
void parseFloatList(char* text, float* out, int& count);

// The atoi rule on its own, as the reads above apply it.
int ParseInt(const char* text);
