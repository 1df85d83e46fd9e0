// Program paths and the handling of paths read from files.
//
// Files written on Windows (settings, catalogs, calibration headers, OziExplorer
// map files) carry paths such as ".\CHARTS", "C:\Charts\x.kap" or upper-case
// names of files that lie on disk in lower case. Every path read from a file goes
// through ResolveStoredPath, and file look-ups fall back to a case-insensitive
// match, so that such files stay usable. Paths the programs write use "/".
//
// Directories are returned with a trailing "/" throughout.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Directory of the running executable (from /proc/self/exe), trailing "/".
// Computed once.
const std::string& ProgramDir();

// The share directory of an installation whose programs live in
// `programDir`: "<prefix>/share/brismare/" for "<prefix>/bin/" (the relative
// way from the installed bin to the share directory is fixed when the
// programs are configured). Named whether or not it exists.
std::string InstalledShareDir(const std::string& programDir);

// True when `programDir` belongs to an installation: its share directory
// (InstalledShareDir) exists.
bool IsInstalledProgramDir(const std::string& programDir);

// The writable directory that holds the settings file, the catalog, the log
// book and the default chart, route, waypoint and track directories:
//   1. $BRISMARE_DIR when set (relative values count from the current directory);
//   2. else ProgramDir() when it is writable and not an installation's bin
//      directory ("portable" copy, the build tree);
//   3. else $XDG_DATA_HOME/brismare, or ~/.local/share/brismare.
// The directory is created when missing. Computed on first use and then kept;
// both programs use the same rule, so they share their files.
std::string DataDir();
// Forgets the kept data directory, so that the next DataDir() computes it
// again (for tests that change the environment).
void ResetDataDir();
// The rule behind DataDir() for a given program directory: reads the
// environment each time and creates the chosen directory.
std::string ComputeDataDir(const std::string& programDir);

// A stored path in native form: "\" becomes "/", "/./" and repeated
// separators collapse to one "/", a trailing "/." to "/". A leading "./" and
// every ".." stay as they are (".." is not folded, because a symbolic link
// may stand before it).
std::string ToNativePath(std::string_view stored);

// True for a path that only makes sense on Windows: a drive letter ("C:\x",
// "c:x") or a UNC name ("\\server\share").
bool IsForeignPath(std::string_view p);

// True for a native absolute path (leading "/").
bool IsAbsolutePath(std::string_view p);

// Resolves a path read from a file: ".\x", "./x" and bare relative paths
// count from baseDir; absolute paths stay (in native form). Foreign paths are
// returned unchanged: the caller falls back to ForeignFileName and its own
// search directories. Empty stays empty.
std::string ResolveStoredPath(std::string_view stored, std::string_view baseDir);

// The file name part of a path of either kind: the text after the last "\" or
// "/" (after a drive letter when there is no separator).
std::string ForeignFileName(std::string_view p);

// `dir` with a trailing "/" ("" stays "").
std::string WithTrailingSlash(std::string_view dir);

// Finds `name` (which may have several components, separated by "/" or "\")
// in `dir` (empty: the current directory). Each component is taken as it is
// when it exists, else the directory is scanned for an entry equal to it
// ignoring case (ASCII and the Latin-1 letters, e.g. "Å"/"å"); when several
// entries match, the first in byte order is taken. Returns the full path of
// what was found, or nullopt.
std::optional<std::string> FindFileCaseInsensitive(std::string_view dir, std::string_view name);

// FindFileCaseInsensitive over a list of directories, in order; the first
// directory that holds the name (in any case) wins.
std::optional<std::string> FindFileInDirs(const std::vector<std::string>& dirs, std::string_view name);

// Splits a ";"-separated directory list; entries are trimmed of blanks and
// empty entries are dropped.
std::vector<std::string> SplitDirList(std::string_view text);

// True when the two names are equal ignoring case in the sense of
// FindFileCaseInsensitive.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);

enum class TSpecialFolder { Home, Documents, Data, Temp };

// A user folder after the XDG base-directory rules, with a trailing "/", or
// empty when it cannot be told:
//   Home      $HOME, else the password database;
//   Documents XDG_DOCUMENTS_DIR (environment, then user-dirs.dirs), else
//             ~/Documents when it exists, else the home directory;
//   Data      $XDG_DATA_HOME, else ~/.local/share;
//   Temp      TempDir().
std::string SpecialFolderPath(TSpecialFolder folder);

// The directory for temporary files: $TMPDIR when it names a directory, else
// "/tmp/".
std::string TempDir();
