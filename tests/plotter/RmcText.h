// The position of an RMC sentence, read here independently of the parser:
// the expected values of tests that replay sentences.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "foundation/NumText.h"
#include "foundation/Types.h"

// The comma-separated fields of a sentence, without its checksum.
inline std::vector<std::string> SentenceFields(std::string_view sentence) {
  sentence = sentence.substr(0, sentence.find('*'));
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t i = 0; i <= sentence.size(); ++i)
    if (i == sentence.size() || sentence[i] == ',') {
      fields.emplace_back(sentence.substr(start, i - start));
      start = i + 1;
    }
  return fields;
}

// Longitude and latitude in radians ("ddmm.mmm,N,dddmm.mmm,E" in fields 3
// to 6).
inline TFPoint RmcPosition(std::string_view rmc) {
  const std::vector<std::string> f = SentenceFields(rmc);
  if (f.size() < 7 || f[3].size() < 3 || f[5].size() < 4) {
    ADD_FAILURE() << "not an RMC sentence with a position: " << rmc;
    return {};
  }
  const double lat = StrToFloatDot(f[3].substr(0, 2)) + StrToFloatDot(f[3].substr(2)) / 60;
  const double lon = StrToFloatDot(f[5].substr(0, 3)) + StrToFloatDot(f[5].substr(3)) / 60;
  return {(f[6] == "W" ? -lon : lon) * kDegToRad, (f[4] == "S" ? -lat : lat) * kDegToRad};
}
