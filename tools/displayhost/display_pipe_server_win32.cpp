// The display's output pipe, served with overlapped I/O so that one thread can
// wait for a new client, for data from the current one and for Stop at the
// same time, and Stop never depends on a client going away.

#include <windows.h>

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tools/displayhost/display_host.h"

namespace lptlcd {

namespace {

constexpr DWORD kPipeBufferBytes = 64 * 1024;
constexpr std::size_t kListeners = 4;

// One instance of the pipe with its own completion event. Pending I/O is
// cancelled and waited for before the OVERLAPPED goes away.
struct Instance {
  lptlcd::UniqueFileHandle pipe;
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
      ::CancelIo(pipe.Get());
      DWORD ignored = 0;
      ::GetOverlappedResult(pipe.Get(), &overlapped, &ignored, TRUE);
    }
  }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  // Starts waiting for a client; false when the instance is unusable.
  bool BeginConnect() {
    ::ResetEvent(done.Get());
    if (::ConnectNamedPipe(pipe.Get(), &overlapped)) {
      completedAtOnce = true;
      ::SetEvent(done.Get());
      return true;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_IO_PENDING) {
      pending = true;
      return true;
    }
    // ERROR_NO_DATA: a client connected, wrote and closed before this call;
    // what it wrote is still there to be read.
    if (error == ERROR_PIPE_CONNECTED || error == ERROR_NO_DATA) {
      completedAtOnce = true;
      ::SetEvent(done.Get());
      return true;
    }
    return false;
  }

  // Collects the outcome of the connect once `done` is signalled.
  void EndConnect() {
    if (completedAtOnce) {
      completedAtOnce = false;
      return;
    }
    pending = false;
    DWORD ignored = 0;
    ::GetOverlappedResult(pipe.Get(), &overlapped, &ignored, FALSE);
  }

  bool BeginRead() {
    ::ResetEvent(done.Get());
    // Even a read that completes at once signals the event on an overlapped
    // handle, so both outcomes are collected by EndRead.
    if (::ReadFile(pipe.Get(), buffer, sizeof buffer, nullptr, &overlapped) ||
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
    if (!::GetOverlappedResult(pipe.Get(), &overlapped, &got, FALSE)) return -1;
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

DisplayPipeServer::DisplayPipeServer(PacketHandler onPacket, std::string pipeName)
    : handler(std::move(onPacket)), pipePath("\\\\.\\pipe\\" + pipeName) {}

DisplayPipeServer::~DisplayPipeServer() { Stop(); }

bool DisplayPipeServer::Start() {
  if (IsRunning()) return true;
  stopEvent.Reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!stopEvent) return false;
  // Every listening instance exists before Start returns, so that clients
  // that come at once, one after another, each find one.
  firstInstances.clear();
  for (std::size_t i = 0; i < kListeners; ++i) {
    firstInstances.emplace_back(CreateInstance(pipePath));
    if (!firstInstances.back()) {
      firstInstances.clear();
      return false;
    }
  }
  thread.Reset(::CreateThread(nullptr, 0, &DisplayPipeServer::ThreadMain, this, 0, nullptr));
  if (!thread) {
    firstInstances.clear();
    return false;
  }
  return true;
}

void DisplayPipeServer::Stop() {
  if (!thread) return;
  ::SetEvent(stopEvent.Get());
  ::WaitForSingleObject(thread.Get(), INFINITE);
  thread.Reset();
}

long DisplayPipeServer::ConnectionCount() const {
  return ::InterlockedCompareExchange(const_cast<volatile long*>(&connections), 0, 0);
}

DWORD WINAPI DisplayPipeServer::ThreadMain(void* self) {
  static_cast<DisplayPipeServer*>(self)->Serve();
  return 0;
}

void DisplayPipeServer::Serve() {
  // Several instances always wait for clients: a client finds one listening even
  // in the moment after the other has just been taken, because clients such
  // as the program open the pipe once and do not retry on "busy".
  std::vector<std::unique_ptr<Instance>> listeners;
  const auto addListener = [&](HANDLE pipe) {
    if (pipe == INVALID_HANDLE_VALUE) return;
    auto listener = std::make_unique<Instance>(pipe);
    if (listener->BeginConnect()) listeners.push_back(std::move(listener));
  };
  for (UniqueFileHandle& instance : firstInstances) addListener(instance.Release());
  firstInstances.clear();
  std::deque<std::unique_ptr<Instance>> waiting;  // connected, not yet served
  std::unique_ptr<Instance> active;               // the client being read
  std::uint8_t packet[kPacketSize];
  std::size_t packetFill = 0;

  for (;;) {
    if (!active && !waiting.empty()) {
      active = std::move(waiting.front());
      waiting.pop_front();
      packetFill = 0;
      if (!active->BeginRead()) active.reset();
      continue;
    }
    HANDLE handles[1 + kListeners + 1] = {stopEvent.Get()};
    DWORD handleCount = 1;
    for (const auto& listener : listeners) handles[handleCount++] = listener->done.Get();
    const DWORD activeSlot = active ? handleCount : MAXDWORD;
    if (active) handles[handleCount++] = active->done.Get();
    const DWORD woke = ::WaitForMultipleObjects(handleCount, handles, FALSE, INFINITE);
    if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED) break;
    const DWORD slot = woke - WAIT_OBJECT_0;

    if (slot >= 1 && slot < 1 + listeners.size()) {
      auto connected = std::move(listeners[slot - 1]);
      listeners.erase(listeners.begin() + static_cast<std::ptrdiff_t>(slot - 1));
      // A client that wrote and closed before the connect was collected
      // still left its bytes in the pipe: read them whatever the outcome.
      connected->EndConnect();
      ::InterlockedIncrement(&connections);
      waiting.push_back(std::move(connected));
      while (listeners.size() < kListeners) {
        const std::size_t before = listeners.size();
        addListener(CreateInstance(pipePath));
        if (listeners.size() == before) break;
      }
    } else if (slot == activeSlot) {
      const long got = active->EndRead();
      if (got < 0) {
        active.reset();  // the client closed its end; a partial packet is dropped
        continue;
      }
      for (long i = 0; i < got; ++i) {
        packet[packetFill++] = active->buffer[i];
        if (packetFill == kPacketSize) {
          packetFill = 0;
          if (handler) handler(packet);
        }
      }
      if (!active->BeginRead()) active.reset();
    }
  }
}

}  // namespace lptlcd
