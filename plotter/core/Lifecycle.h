// A record of the plotter's creation and teardown, event by event ("create
// TChartList", "free TChartList", "form TSetupFrm", ...). Nothing listens
// unless a sink is installed; tests install one to check the order in which
// the main window makes and frees what it owns.
#pragma once

#include <functional>
#include <string>

using TLifecycleSink = std::function<void(const std::string& event)>;

// Installs a sink (empty: none) and returns the previous one.
TLifecycleSink SetLifecycleSink(TLifecycleSink sink);
void NoteLifecycle(const std::string& event);
