// The main window's numbered message and caption texts. The window keeps them
// as the lines of its hidden text component TX_MESSAGES, where a language
// file can replace them; code refers to a text by its number. Blanks at the
// ends of a text belong to it (they align columns in lists).
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int kMessageCount = 132;

// The built-in texts, by number.
extern const std::array<std::string_view, kMessageCount> kDefaultMessages;

// Numbers of the texts the window code uses by name.
enum TMessageId : int {
  msgAutomatic = 2,
  msgRouteEditor = 3,
  msgTrack = 4,
  msgNmeaOut = 5,
  msgOn = 6,
  msgOff = 7,
  msgDiff = 14,
  msgRoute = 16,
  msgPositions = 18,
  msgLoadingChart = 24,
  msgDoYouWantToQuit = 28,
  msgIsNotSaved = 31,
  msgResetTrip = 46,
  msgResetFuel = 48,
  msgCouldNotOpenPort = 51,
  msgResetTime = 82,
};

// The current texts. Built from the lines of TX_MESSAGES; a number outside
// the lines gives the built-in text, or "" beyond the table.
class TMessageTable {
 public:
  TMessageTable();
  explicit TMessageTable(std::vector<std::string> lines) : lines_(std::move(lines)) {}

  const std::string& operator[](int id) const;
  const std::vector<std::string>& Lines() const { return lines_; }
  void SetLines(std::vector<std::string> lines) { lines_ = std::move(lines); }

 private:
  std::vector<std::string> lines_;
};

// The built-in texts as one block of text, one per line, as TX_MESSAGES
// holds them.
std::string DefaultMessageText();
