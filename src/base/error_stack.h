#pragma once
// Error stack: a failing operation pushes a record and returns 0; the command that
// started it pops the newest record and shows it.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace q3d {

struct ErrorRecord {
  int32_t code = 0;      // -1 out of memory, -2 drawing failure, -8 image-library failure
  int32_t severity = 0;  // 0 or 1: warning; 2: error
  std::array<std::array<char, 256>, 5> text{};  // [0] message, [1] time stamp of the push

  std::string Message() const { return text[0].data(); }
  std::string TimeStamp() const { return text[1].data(); }
};

ErrorRecord MakeErrorRecord(int32_t code, int32_t severity, const std::string& message);

constexpr int kErrorStackSize = 25;

// Stores a copy with the current time stamp; a full stack is emptied first.
void PushError(const ErrorRecord& record);
// Returns the newest record (code 0, severity 0, empty text when the stack is empty);
// removes it when pop is set.
ErrorRecord PopError(bool pop = true);
// Number of records held.
int ErrorCount();
void ClearErrors();

// The common records.
void PushOutOfMemory();        // -1, 2, "Error: Out of memory"
void PushImageLibraryError();  // -8, 2, "Error: The image operation failed."
void PushErrorText(const std::string& message, int32_t code = 0, int32_t severity = 2);

// Showing a record is the front end's business: the GUI installs a message box, the
// command-line tool prints to stderr. Without a presenter the record goes to stderr.
using ErrorPresenter = std::function<void(const ErrorRecord&)>;
void SetErrorPresenter(ErrorPresenter presenter);
void ShowError(const ErrorRecord& record);

}  // namespace q3d
