// Named pipes in message mode, over Unix-domain SOCK_SEQPACKET sockets (one message per packet,
// so boundaries are kept). A name "\\.\pipe\NAME" is a socket in one machine-wide folder, as the
// pipe namespace is machine-wide: /run/win32-pipes, or /tmp/.win32-pipes where /run is not
// writable; $WIN32_PIPE_DIR replaces both. NAME is matched without regard to ASCII case.
//
// A server's socket admits only its creator's user and root. A client that finds every instance
// busy waits in the listen queue (kPipeQueueLength connections) instead of failing, and its
// message is already in the server's queue while it waits. Byte-mode pipes, PIPE_NOWAIT and
// overlapped handles are not served (ERROR_NOT_SUPPORTED); the security descriptor is ignored,
// the admission rule above always holds. Pipes on other computers ("\\server\pipe\NAME") are not
// served.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/wintypes.h"

inline constexpr DWORD PIPE_ACCESS_INBOUND = 0x00000001;
inline constexpr DWORD PIPE_ACCESS_OUTBOUND = 0x00000002;
inline constexpr DWORD PIPE_ACCESS_DUPLEX = 0x00000003;
inline constexpr DWORD FILE_FLAG_FIRST_PIPE_INSTANCE = 0x00080000;

inline constexpr DWORD PIPE_TYPE_BYTE = 0x00000000;
inline constexpr DWORD PIPE_TYPE_MESSAGE = 0x00000004;
inline constexpr DWORD PIPE_READMODE_BYTE = 0x00000000;
inline constexpr DWORD PIPE_READMODE_MESSAGE = 0x00000002;
inline constexpr DWORD PIPE_WAIT = 0x00000000;
inline constexpr DWORD PIPE_NOWAIT = 0x00000001;
inline constexpr DWORD PIPE_ACCEPT_REMOTE_CLIENTS = 0x00000000;
inline constexpr DWORD PIPE_REJECT_REMOTE_CLIENTS = 0x00000008;
inline constexpr DWORD PIPE_UNLIMITED_INSTANCES = 255;

inline constexpr DWORD NMPWAIT_USE_DEFAULT_WAIT = 0x00000000;
inline constexpr DWORD NMPWAIT_NOWAIT = 0x00000001;
inline constexpr DWORD NMPWAIT_WAIT_FOREVER = 0xFFFFFFFF;

// Returns INVALID_HANDLE_VALUE on failure. A live server of the same name in another process
// gives ERROR_PIPE_BUSY (instances cannot be shared across processes), or ERROR_ACCESS_DENIED
// with FILE_FLAG_FIRST_PIPE_INSTANCE; a socket left behind by a server that is gone is replaced.
HANDLE CreateNamedPipeA(LPCSTR name, DWORD openMode, DWORD pipeMode, DWORD maxInstances,
                        DWORD outBufferSize, DWORD inBufferSize, DWORD defaultTimeOut,
                        LPSECURITY_ATTRIBUTES attributes);
HANDLE CreateNamedPipeW(LPCWSTR name, DWORD openMode, DWORD pipeMode, DWORD maxInstances,
                        DWORD outBufferSize, DWORD inBufferSize, DWORD defaultTimeOut,
                        LPSECURITY_ATTRIBUTES attributes);

// Waits for a client. A client that connected before the call (or one still connected) gives
// FALSE with ERROR_PIPE_CONNECTED, and that connection is usable. Closing the handle from
// another thread ends the wait with ERROR_OPERATION_ABORTED.
BOOL ConnectNamedPipe(HANDLE pipe, LPOVERLAPPED overlapped);
// Ends the current client's connection (what it has not read yet stays readable to it); the
// instance can wait for the next client.
BOOL DisconnectNamedPipe(HANDLE pipe);

// Connects, writes one message, reads one reply message and closes. The time-out bounds the
// whole call, not only the wait for an instance: NMPWAIT_NOWAIT and NMPWAIT_USE_DEFAULT_WAIT
// mean win32::kPipeShortWaitMs, NMPWAIT_WAIT_FOREVER no bound, any other value milliseconds.
// No server: ERROR_FILE_NOT_FOUND at once. Queue full until the bound: ERROR_PIPE_BUSY. No
// reply within the bound: ERROR_SEM_TIMEOUT. A reply longer than outBufferSize: ERROR_MORE_DATA.
BOOL CallNamedPipeW(LPCWSTR name, LPVOID inBuffer, DWORD inBufferSize, LPVOID outBuffer,
                    DWORD outBufferSize, LPDWORD bytesRead, DWORD timeOut);

namespace win32 {

// Longest a "no wait" CallNamedPipeW holds its caller; well under a second so that a library
// loaded into someone else's process never stalls it noticeably.
inline constexpr DWORD kPipeShortWaitMs = 250;
// Connections that can wait for a busy server instance.
inline constexpr int kPipeQueueLength = 16;

// The folders searched for a pipe's socket, in order.
std::vector<std::string> PipeFolders();
// The socket path of a local pipe name inside folder, or an error code (ERROR_INVALID_NAME for a
// name that is not "\\.\pipe\NAME", ERROR_BAD_NETPATH for another computer's pipe).
DWORD PipeSocketPath(std::u16string_view name, const std::string& folder, std::string& path);

}  // namespace win32
