// The display's output pipe, served with overlapped I/O so that one thread can
// wait for a new client, for data from the current one and for Stop at the
// same time, and Stop never depends on a client going away.

#include <windows.h>

#include <deque>
#include <memory>
#include <string>
#include <utility>

#include "tools/displayhost/display_host.h"

namespace lptlcd {

namespace {

constexpr DWORD kPipeBufferBytes = 64 * 1024;

// One instance of the pipe with its own completion event. Pending I/O is
// cancelled and waited for before the OVERLAPPED goes away.
struct Instance {
  HANDLE pipe = INVALID_HANDLE_VALUE;
  OVERLAPPED overlapped = {};
  UniqueKernelHandle done;  // manual reset, as overlapped I/O wants
  bool pending = false;
  bool completedAtOnce = false;  // the client was there before ConnectNamedPipe
  std::uint8_t buffer[512] = {};

  explicit Instance(HANDLE handle) : pipe(handle), done(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    overlapped.hEvent = done.Get();
  }
  ~Instance() {
    if (pending) {
      ::CancelIo(pipe);
      DWORD ignored = 0;
      ::GetOverlappedResult(pipe, &overlapped, &ignored, TRUE);
    }
    ::CloseHandle(pipe);
  }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  // Starts waiting for a client; false when the instance is unusable.
  bool BeginConnect() {
    ::ResetEvent(done.Get());
    if (::ConnectNamedPipe(pipe, &overlapped)) {
      completedAtOnce = true;
      ::SetEvent(done.Get());
      return true;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_IO_PENDING) {
      pending = true;
      return true;
    }
    if (error == ERROR_PIPE_CONNECTED) {
      completedAtOnce = true;
      ::SetEvent(done.Get());
      return true;
    }
    return false;
  }

  // Collects the outcome of the connect once `done` is signalled.
  bool EndConnect() {
    if (completedAtOnce) {
      completedAtOnce = false;
      return true;
    }
    pending = false;
    DWORD ignored = 0;
    return ::GetOverlappedResult(pipe, &overlapped, &ignored, FALSE) != FALSE;
  }

  bool BeginRead() {
    ::ResetEvent(done.Get());
    // Even a read that completes at once signals the event on an overlapped
    // handle, so both outcomes are collected by EndRead.
    if (::ReadFile(pipe, buffer, sizeof buffer, nullptr, &overlapped) ||
        ::GetLastError() == ERROR_IO_PENDING) {
      pending = true;
      return true;
    }
    return false;
  }

  // Bytes read, or -1 when the client has gone.
  long EndRead() {
    pending = false;
    DWORD got = 0;
    if (!::GetOverlappedResult(pipe, &overlapped, &got, FALSE)) return -1;
    return static_cast<long>(got);
  }
};

HANDLE CreateInstance(const std::string& path) {
  return ::CreateNamedPipeA(path.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                            PIPE_UNLIMITED_INSTANCES, kPipeBufferBytes, kPipeBufferBytes, 0,
                            nullptr);
}

}  // namespace

DisplayPipeServer::DisplayPipeServer(PacketHandler handler, std::string pipeName)
    : handler_(std::move(handler)), pipePath_("\\\\.\\pipe\\" + pipeName) {}

DisplayPipeServer::~DisplayPipeServer() { Stop(); }

bool DisplayPipeServer::Start() {
  if (IsRunning()) return true;
  stopEvent_.Reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!stopEvent_) return false;
  firstInstance_ = CreateInstance(pipePath_);
  if (firstInstance_ == INVALID_HANDLE_VALUE) return false;
  thread_.Reset(::CreateThread(nullptr, 0, &DisplayPipeServer::ThreadMain, this, 0, nullptr));
  if (!thread_) {
    ::CloseHandle(firstInstance_);
    firstInstance_ = INVALID_HANDLE_VALUE;
    return false;
  }
  return true;
}

void DisplayPipeServer::Stop() {
  if (!thread_) return;
  ::SetEvent(stopEvent_.Get());
  ::WaitForSingleObject(thread_.Get(), INFINITE);
  thread_.Reset();
}

long DisplayPipeServer::ConnectionCount() const {
  return ::InterlockedCompareExchange(const_cast<volatile long*>(&connections_), 0, 0);
}

DWORD WINAPI DisplayPipeServer::ThreadMain(void* self) {
  static_cast<DisplayPipeServer*>(self)->Serve();
  return 0;
}

void DisplayPipeServer::Serve() {
  auto listener = std::make_unique<Instance>(std::exchange(firstInstance_, INVALID_HANDLE_VALUE));
  if (!listener->BeginConnect()) listener.reset();
  std::deque<std::unique_ptr<Instance>> waiting;  // connected, not yet served
  std::unique_ptr<Instance> active;               // the client being read
  std::uint8_t packet[kDisplayPacketSize];
  std::size_t packetFill = 0;

  for (;;) {
    if (!active && !waiting.empty()) {
      active = std::move(waiting.front());
      waiting.pop_front();
      packetFill = 0;
      if (!active->BeginRead()) active.reset();
      continue;
    }
    HANDLE handles[3] = {stopEvent_.Get()};
    DWORD handleCount = 1;
    DWORD listenerSlot = MAXDWORD;
    DWORD activeSlot = MAXDWORD;
    if (listener) {
      listenerSlot = handleCount;
      handles[handleCount++] = listener->done.Get();
    }
    if (active) {
      activeSlot = handleCount;
      handles[handleCount++] = active->done.Get();
    }
    const DWORD woke = ::WaitForMultipleObjects(handleCount, handles, FALSE, INFINITE);
    if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED) break;
    const DWORD slot = woke - WAIT_OBJECT_0;

    if (slot == listenerSlot) {
      if (listener->EndConnect()) {
        ::InterlockedIncrement(&connections_);
        waiting.push_back(std::move(listener));
      } else {
        listener.reset();
      }
      // A fresh instance keeps the name open for the next client at once.
      const HANDLE next = CreateInstance(pipePath_);
      if (next != INVALID_HANDLE_VALUE) {
        listener = std::make_unique<Instance>(next);
        if (!listener->BeginConnect()) listener.reset();
      }
    } else if (slot == activeSlot) {
      const long got = active->EndRead();
      if (got < 0) {
        active.reset();  // the client closed its end; a partial packet is dropped
        continue;
      }
      for (long i = 0; i < got; ++i) {
        packet[packetFill++] = active->buffer[i];
        if (packetFill == kDisplayPacketSize) {
          packetFill = 0;
          if (handler_) handler_(packet);
        }
      }
      if (!active->BeginRead()) active.reset();
    }
  }
}

}  // namespace lptlcd
