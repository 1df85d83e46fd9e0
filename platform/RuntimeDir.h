// The per-user runtime directory for the program's sockets, and the path
// of the socket on which the plotter shares its navigation data line.
#pragma once

#include <string>

// "$XDG_RUNTIME_DIR/brismare" when the variable holds an absolute path,
// else "<temporary directory>/brismare-<uid>" (no trailing "/").
std::string RuntimeDirectory();
// Makes the directory (mode 0700) when it is missing. Refuses (false, with
// the reason) a directory that is a symbolic link, not a directory, owned
// by another user or open to others: another user could otherwise put a
// socket of their own where ours is looked for.
bool EnsureRuntimeDirectory(std::string* error = nullptr);
// The data line socket: RuntimeDirectory() + "/nmeadata".
std::string DataSocketPath();

// Whether a program serves the local (Unix domain) socket at `path`, found
// without waiting: Served when a connection is taken or pending (a server
// listens there), Stale when the file is there but nobody listens (left
// behind by a program that ended without closing it), None when there is
// no socket file.
enum class TLocalSocketState { None, Stale, Served };
TLocalSocketState ProbeLocalSocket(const std::string& path);
