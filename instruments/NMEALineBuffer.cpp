// The line assembler and the replay file.
#include <sys/stat.h>

#include "instruments/NMEA.h"

TNMEALineBuffer::TNMEALineBuffer(TNMEA* parser) : TNMEALineBuffer(parser, parser ? parser->GetClock() : Clock()) {}

TNMEALineBuffer::TNMEALineBuffer(TNMEA* parser, IClock& clock)
    : owned_(parser ? nullptr : std::make_unique<TNMEA>(clock)),
      parser_(parser ? parser : owned_.get()),
      clock_(clock),
      lastLineTime_(clock.MonoNow()) {}

TNMEALineBuffer::~TNMEALineBuffer() { CloseReplay(); }

void TNMEALineBuffer::Reset() {
  line_.Length = 0;
  line_.CommaCount = 0;
  line_.StarPos = 0;
  line_.FirstStarPos = 0;
  state_ = TState::Waiting;
}

void TNMEALineBuffer::Touch() { lastLineTime_ = clock_.MonoNow(); }

TMonoTime TNMEALineBuffer::IdleTime() const { return clock_.MonoNow() - lastLineTime_; }

void TNMEALineBuffer::Start(char c, TState state) {
  Reset();
  line_.Text[0] = c;
  line_.Length = 1;
  state_ = state;
}

// Skips the rest of a line that cannot be a sentence (too long, too many
// fields) up to the next line end or "$".
void TNMEALineBuffer::Discard() {
  Reset();
  state_ = TState::Skipping;
}

void TNMEALineBuffer::Complete() {
  // Appending stops one short of the capacity, so the terminator always fits.
  line_.Text[static_cast<size_t>(line_.Length)] = '\r';
  ++line_.Length;
  parser_->CurrentSource = Source;
  if (state_ == TState::Sentence)
    parser_->ParseSentence(line_);
  else
    parser_->ParseEncapsulated(line_);
  ++lineCount_;
  lastLineTime_ = clock_.MonoNow();
  Reset();
}

void TNMEALineBuffer::Feed(const void* bytes, size_t count) {
  if (!bytes) return;
  const unsigned char* p = static_cast<const unsigned char*>(bytes);
  const unsigned char* const end = p + count;
  while (p < end) {
    const unsigned char c = *p++;
    if (state_ == TState::Waiting) {
      if (c == '$')
        Start('$', TState::Sentence);
      else if (c == '!')
        Start('!', TState::Encapsulated);
      continue;
    }
    if (c == '$') {  // a new sentence starts; the unfinished one is dropped
      Start('$', TState::Sentence);
      continue;
    }
    if (c <= 13) {  // CR, LF, NUL, tab and the other low control codes
      if (state_ == TState::Skipping)
        Reset();
      else
        Complete();
      continue;
    }
    if (state_ == TState::Skipping) continue;
    int32_t length = line_.Length;
    if (length >= kMaxSentenceLength - 1) {
      Discard();
      continue;
    }
    line_.Text[static_cast<size_t>(length)] = static_cast<char>(c);
    line_.Length = ++length;
    if (c == ',') {
      if (line_.CommaCount >= kMaxSentenceCommas) {
        Discard();
        continue;
      }
      line_.CommaPos[++line_.CommaCount] = static_cast<uint8_t>(length);
    } else if (c == '*') {
      line_.StarPos = static_cast<uint8_t>(length);
      if (line_.FirstStarPos == 0) line_.FirstStarPos = static_cast<uint8_t>(length);
    }
  }
}

// ---------------------------------------------------------------------------
// Replay

bool TNMEALineBuffer::OpenReplay(const std::string& fileName) {
  CloseReplay();
  replayFileName_ = fileName;
  if (fileName.empty()) return false;
  std::FILE* f = std::fopen(fileName.c_str(), "rb");
  if (!f) return false;
  struct stat st {};
  if (::fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
    std::fclose(f);
    return false;
  }
  replayFile_ = f;
  return true;
}

void TNMEALineBuffer::CloseReplay() {
  if (replayFile_) std::fclose(replayFile_);
  replayFile_ = nullptr;
}

void TNMEALineBuffer::ReplayStep() {
  std::FILE* f = replayFile_;
  if (!f) return;
  std::string line;
  bool overlong = false;
  int ch;
  // A line ends at LF, CR LF or a lone CR.
  while ((ch = std::getc(f)) != EOF) {
    if (ch == '\n') break;
    if (ch == '\r') {
      int next = std::getc(f);
      if (next != '\n' && next != EOF) std::ungetc(next, f);
      break;
    }
    if (line.size() < kMaxReplayLine)
      line.push_back(static_cast<char>(ch));
    else
      overlong = true;
  }
  if (ch == EOF && std::ferror(f)) {
    std::clearerr(f);
    std::rewind(f);
    return;
  }
  if (overlong) return;
  FeedText(line);
  FeedText("\r\n");
  // The end-of-file character as a line of its own marks a file that loops.
  if (line == "\x1A") std::rewind(f);
}
