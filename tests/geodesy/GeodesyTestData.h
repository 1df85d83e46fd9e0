// Reading the reference tables of tests/geodesy/data.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "TestSupport.h"
#include "foundation/NumText.h"

// A table of numbers: "key=value" pairs from its "#" lines, and its rows.
struct TRefTable {
  std::map<std::string, std::string> params;
  std::vector<std::vector<double>> rows;

  double Param(const std::string& key, double def = 0) const {
    auto it = params.find(key);
    return it == params.end() ? def : StrToFloatDot(it->second);
  }
};

inline std::string GeodesyDataFile(std::string_view name) {
  return std::string(BRISMARE_SOURCE_DIR) + "/tests/geodesy/data/" + std::string(name);
}

inline std::vector<std::string_view> SplitBlanks(std::string_view line) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

// Rows of whitespace-separated numbers; lines beginning with "#" give
// key=value parameters; rows that do not parse fail the test.
inline TRefTable ReadRefTable(const std::string& path) {
  TRefTable t;
  const std::string text = ReadTestFile(path);
  std::string_view rest = text;
  while (!rest.empty()) {
    const size_t nl = rest.find('\n');
    std::string_view line = rest.substr(0, nl);
    rest = nl == std::string_view::npos ? std::string_view() : rest.substr(nl + 1);
    if (line.empty()) continue;
    if (line[0] == '#') {
      for (std::string_view w : SplitBlanks(line.substr(1))) {
        const size_t eq = w.find('=');
        if (eq != std::string_view::npos && eq > 0)
          t.params[std::string(w.substr(0, eq))] = std::string(w.substr(eq + 1));
      }
      continue;
    }
    std::vector<double> row;
    for (std::string_view w : SplitBlanks(line)) {
      const auto v = TryStrToFloatDot(w);
      EXPECT_TRUE(v.has_value()) << path << ": " << line;
      row.push_back(v.value_or(0));
    }
    t.rows.push_back(std::move(row));
  }
  return t;
}
