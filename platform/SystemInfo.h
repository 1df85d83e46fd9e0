// What the programs want to know about the machine: the memory the chart
// pager may plan with, and a line describing the system for the about box.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Physical memory in bytes, capped by the memory limit of the control group
// the process runs in (a container, a systemd slice) when one is set. 0 when
// it cannot be told.
uint64_t TotalPhysicalMemory();

// The memory limit of the process's control group, cgroup v2 ("memory.max")
// or v1 ("memory.limit_in_bytes"), taking the smallest limit along the path
// up to the root; nullopt when there is none. The file locations are
// parameters for tests.
std::optional<uint64_t> CgroupMemoryLimit(const std::string& procSelfCgroup = "/proc/self/cgroup",
                                          const std::string& cgroupRoot = "/sys/fs/cgroup");

// For example "Debian GNU/Linux 12 (bookworm); Linux 6.1.0-18-amd64 x86_64".
std::string OsDescription();
