#include <windows.h>

#include "device/output_pipe.h"

namespace lptlcd {
namespace {

// How long a cancelled write is given to come back before it is left to the
// driver for good.
constexpr DWORD kCancelGraceMs = 100;

// One write in flight: the driver may use the bytes and the OVERLAPPED until
// it completes the request, so a write that never completes keeps its own
// and the next write gets new ones. Only the display worker writes.
struct WriteInFlight {
  OVERLAPPED overlapped = {};
  std::uint8_t bytes[16] = {};
  HANDLE done = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
};

WriteInFlight* current = nullptr;

}  // namespace

PipeWrite WriteToPipe(PipeHandle pipe, const std::uint8_t* bytes, std::size_t size) {
  if (size > sizeof current->bytes) return PipeWrite::kFailed;
  if (current == nullptr) current = new WriteInFlight;
  if (current->done == nullptr) return PipeWrite::kFailed;
  WriteInFlight& write = *current;
  write.overlapped = OVERLAPPED{};
  // WriteFile resets the event as the write begins.
  write.overlapped.hEvent = write.done;
  for (std::size_t i = 0; i < size; ++i) write.bytes[i] = bytes[i];

  const HANDLE handle = static_cast<HANDLE>(pipe);
  DWORD written = 0;
  // A handle opened without FILE_FLAG_OVERLAPPED (an anonymous pipe) writes
  // synchronously here and never pends.
  if (::WriteFile(handle, write.bytes, static_cast<DWORD>(size), &written, &write.overlapped)) {
    return written == size ? PipeWrite::kWritten : PipeWrite::kFailed;
  }
  if (::GetLastError() != ERROR_IO_PENDING) return PipeWrite::kFailed;
  if (::WaitForSingleObject(write.done, kPacketWriteBoundMs) == WAIT_OBJECT_0) {
    const BOOL ok = ::GetOverlappedResult(handle, &write.overlapped, &written, FALSE);
    return ok && written == size ? PipeWrite::kWritten : PipeWrite::kFailed;
  }
  // CancelIo (XP's; CancelIoEx is Vista's) cancels what this thread issued.
  ::CancelIo(handle);
  if (::WaitForSingleObject(write.done, kCancelGraceMs) != WAIT_OBJECT_0) {
    // A driver that ignores the cancel still owns these: leave them to it.
    current = nullptr;
  }
  return PipeWrite::kTimedOut;
}

}  // namespace lptlcd
