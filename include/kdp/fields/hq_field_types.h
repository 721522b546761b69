// Quote field basics shared by the package and the widgets: the value types of the field dictionary, the
// ID ranges (quote fields, cloud indicators, Lux fields) and the marker of a field without a value.
#pragma once

#include <cmath>

namespace kdp {

// Value types of the field dictionary ("type" attribute: "integer", "double", "string").
inline constexpr int HQDICDATA_TYPE_INTEGER = 0;
inline constexpr int HQDICDATA_TYPE_DOUBLE = 1;
inline constexpr int HQDICDATA_TYPE_STRING = 2;

// Field ID ranges: quote fields up to 10000 go to the quote engine; 10001 to 20000 are cloud indicators;
// from 20001 on Lux fields. ID 0 means no field.
inline constexpr int kMaxQuoteFieldID = 10000;
inline constexpr int kFirstCloudFieldID = 10001;
inline constexpr int kMaxCloudFieldID = 20000;
inline constexpr int kFirstLuxFieldID = 20001;

// The kind of a cloud indicator field.
enum class TCloudIndexType { itStub = 0, itReal = 1 };

// The value a real-time read answers for a field that holds nothing (9999999999999.7).
inline constexpr double kHQNullValue = 9999999999999.7;

// True for the empty-field marker.
inline bool IsNullValue(double value) { return std::fabs(value - kHQNullValue) < 0.05; }

}  // namespace kdp
