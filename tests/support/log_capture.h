// Records every report raised while it lives, formatted, for tests to inspect.
#pragma once

#include <cstdarg>
#include <mutex>
#include <string>
#include <vector>

namespace testing_support {

struct Report {
    int level;  // 1 error, 2 warning, 3 plain
    int code;
    std::string text;
};

class LogCapture {
public:
    LogCapture();   // installs itself as the report callback
    ~LogCapture();  // removes the callback

    std::vector<Report> reports() const;
    std::vector<std::string> texts() const;
    std::vector<std::string> errors() const;
    // True when some report's text equals text exactly.
    bool has(const std::string& text) const;
    // True when some report's text contains part.
    bool contains(const std::string& part) const;
    int count(const std::string& text) const;
    // The level of the first report whose text equals text exactly; 0 for none.
    int level(const std::string& text) const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<Report> reports_;
    friend const char* CaptureSink(int, int, const char*, va_list*);
};

}  // namespace testing_support
