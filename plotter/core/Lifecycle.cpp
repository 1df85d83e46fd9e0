#include "plotter/core/Lifecycle.h"

#include <utility>

namespace {
TLifecycleSink& Sink() {
  static TLifecycleSink sink;
  return sink;
}
}  // namespace

TLifecycleSink SetLifecycleSink(TLifecycleSink sink) { return std::exchange(Sink(), std::move(sink)); }

void NoteLifecycle(const std::string& event) {
  if (Sink()) Sink()(event);
}
