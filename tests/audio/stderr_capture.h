// Collects what the program writes to standard error while it lives.
#pragma once
#include <cstdio>
#include <string>
#include <unistd.h>

class StderrCapture {
  public:
    StderrCapture() : saved_(dup(STDERR_FILENO)), file_(std::tmpfile()) {
        std::fflush(stderr);
        dup2(fileno(file_), STDERR_FILENO);
    }
    ~StderrCapture() { restore(); }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    // Everything written so far; standard error is back in place afterwards.
    std::string text() {
        restore();
        std::string content;
        std::rewind(file_);
        char chunk[4096];
        for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file_)) > 0;) {
            content.append(chunk, got);
        }
        return content;
    }

  private:
    void restore() {
        if (saved_ < 0) return;
        dup2(saved_, STDERR_FILENO);
        close(saved_);
        saved_ = -1;
    }
    int saved_;
    std::FILE* file_;
};
