#pragma once
// A stand-in for the display's USB driver, for tests and the display simulator
// running under Wine: it publishes a display interface that SetupAPI finds and
// serves the display's output pipe, so the program's real discovery, CreateFileA
// and WriteFile code runs unchanged.
//
// DisplayRegistration puts one interface of the display's class in this
// prefix's registry; when it is openable, an NT symbolic link makes the
// interface path name the named-pipe file system, so that the interface path
// opens and "<interface path>\PIPE01" reaches the pipe that DisplayPipeServer
// serves as \\.\pipe\PIPE01. One without a pipe links to the mailslot file
// system instead: its path opens, but no mailslot PIPE01 is ever made.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/win32_handles.h"
#include "device/display_packet.h"
#include "tools/harness/critical_section.h"

namespace lptlcd {

// The display's interface class in the registry's spelling.
extern const char kDisplayInterfaceClassText[];  // "{00873fdf-61a8-11d1-aa5e-00c04fb1728b}"


class DisplayRegistration {
 public:
  enum class Kind {
    kOpenable,    // the interface path opens (and so does the pipe below it, if served)
    kUnopenable,  // listed by SetupAPI, but opening its path fails
    kNoPipe,      // the interface path opens, "<path>\PIPE01" never does
  };

  // id: the USB instance id, e.g. "B". Instances are enumerated in the
  // order of their ids, so "B" comes before "C".
  explicit DisplayRegistration(std::string id, Kind registrationKind = Kind::kOpenable);
  ~DisplayRegistration();  // removes the registry keys and the link

  DisplayRegistration(const DisplayRegistration&) = delete;
  DisplayRegistration& operator=(const DisplayRegistration&) = delete;

  // True when every key (and, but for an unopenable one, the link) was created.
  bool ok() const { return registered; }
  // \\?\usb#vid_1111&pid_0002#<id in lower case>#{00873fdf-...}: the path
  // that SetupAPI reports for this interface.
  const std::string& InterfacePath() const { return interfacePath; }
  const std::string& InstanceId() const { return instanceId; }
  Kind GetKind() const { return kind; }

 private:
  void Remove();

  std::string instanceId;
  Kind kind;
  std::string interfacePath;
  std::string classKeyPath;  // under HKLM
  std::string enumKeyPath;   // under HKLM
  UniqueKernelHandle link;
  bool registered = false;
};

// Serves \\.\pipe\<pipeName> on a background thread and hands every complete
// 8-byte packet to onPacket, in the order received. A client that
// disconnects is replaced by the next one; a second client that connects
// while one is being served waits its turn (its writes are buffered). The
// handler runs on the server's thread. Several instances listen at once, so
// a client that opens the pipe after the previous one is gone finds one;
// only clients that reconnect in a tight loop can see ERROR_PIPE_BUSY.
class DisplayPipeServer {
 public:
  using PacketHandler = std::function<void(const std::uint8_t* packet)>;

  explicit DisplayPipeServer(PacketHandler onPacket, std::string pipeName = "PIPE01");
  ~DisplayPipeServer();  // stops

  DisplayPipeServer(const DisplayPipeServer&) = delete;
  DisplayPipeServer& operator=(const DisplayPipeServer&) = delete;

  // Creates the first pipe instance (so clients can open it as soon as Start
  // returns) and starts the thread. False when the pipe or thread cannot be had.
  bool Start();
  // Stops the thread and closes every pipe instance; waits for the thread.
  void Stop();
  bool IsRunning() const { return thread.IsValid(); }

  // Clients accepted so far (only changes on the server's thread).
  long ConnectionCount() const;

 private:
  static DWORD WINAPI ThreadMain(void* self);
  void Serve();

  PacketHandler handler;
  std::string pipePath;
  UniqueKernelHandle stopEvent;
  UniqueKernelHandle thread;
  std::vector<UniqueFileHandle> firstInstances;  // made by Start, handed to the thread
  volatile long connections = 0;
};

// A thread-safe packet log that a DisplayPipeServer's handler can feed, with a
// way to wait (with an upper bound) until a number of packets has arrived.
class PacketRecorder {
 public:
  using Packet = std::vector<std::uint8_t>;

  PacketRecorder();
  ~PacketRecorder();
  PacketRecorder(const PacketRecorder&) = delete;
  PacketRecorder& operator=(const PacketRecorder&) = delete;

  // A handler for DisplayPipeServer that appends to this log.
  DisplayPipeServer::PacketHandler Handler();
  void Add(const std::uint8_t* packet);

  // Waits until at least `count` packets are logged or `timeoutMs` passes;
  // true when they are there.
  bool WaitForCount(std::size_t count, DWORD timeoutMs);
  // Waits until a logged packet equals `packet`; true when one does.
  bool WaitForPacket(const Packet& packet, DWORD timeoutMs);

  std::vector<Packet> Packets() const;
  std::size_t Count() const;
  void Clear();

 private:
  template <typename Predicate>
  bool WaitUntil(Predicate done, DWORD timeoutMs);

  CriticalSection lock;
  UniqueKernelHandle changed;  // auto-reset; set on every packet
  std::vector<Packet> packets;
};


}  // namespace lptlcd
