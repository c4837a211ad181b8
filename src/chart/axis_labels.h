#pragma once

#include <QString>

#include <vector>

namespace korimo::chart {

// Axis labels and point marks print numbers as "#,##0.###": up to three decimals, trailing zeros
// and a bare decimal point dropped, with the default locale's decimal and group separators
// (36.5, 37, 36.55, 1,234.5).
QString formatNumber(double value);

// How many labels fit along an axis of `axisLength` pixels when each takes `labelSize` pixels plus
// `separation` pixels of room. An axis with no room for even one label yields 0.
int labelsThatFit(int axisLength, int labelSize, int separation);

// Separation between labels in whole pixels: `percent` of the label size, rounded.
int labelSeparation(int labelSize, int percent);

// The next label step after `step` along 1, 2, 5, 10, 20, 50 ... times a power of ten.
double nextLabelStep(double step);

// The step an axis from `minimum` to `maximum` labels with: the configured `increment`, grown
// along 1-2-5 while the number of steps (range / step, rounded) exceeds the labels that fit.
double labelStep(double minimum, double maximum, double increment, int labelsFit);

// The label values of an axis: every multiple of `step` from `minimum` to `maximum`, both ends
// included. Empty when the range is reversed or the step is not a positive number.
std::vector<double> labelValues(double minimum, double maximum, double step);

} // namespace korimo::chart
