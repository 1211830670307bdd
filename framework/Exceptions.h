// The error types the program raises, and the boundary every window procedure, timer and
// callback passes its work through: a silent abort is swallowed, any other error shows the
// default error box with its text and the program goes on.
#pragma once

#include <stdexcept>
#include <string>

// Ends the current operation without a message.
class EAbort : public std::exception {
 public:
  const char* what() const noexcept override { return "Operation aborted"; }
};

class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ERegistryException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class EInOutError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A profile (INI) file that could not be written: "Unable to write to <file>".
class EIniFileException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

[[noreturn]] void Abort();

// Shows the default error box for an error no handler caught.
void ShowException(const std::string& message);

// Runs f; catches everything so that no exception leaves a window procedure or callback.
template <class F>
void Guarded(F&& f) noexcept {
  try {
    f();
  } catch (const EAbort&) {
  } catch (const std::exception& e) {
    ShowException(e.what());
  } catch (...) {
    ShowException("Unknown error");
  }
}

// As Guarded, returning fallback when f did not finish.
template <class R, class F>
R GuardedResult(R fallback, F&& f) noexcept {
  try {
    return f();
  } catch (const EAbort&) {
  } catch (const std::exception& e) {
    ShowException(e.what());
  } catch (...) {
    ShowException("Unknown error");
  }
  return fallback;
}
