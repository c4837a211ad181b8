#include "chart/axis_labels.h"

#include "chart/round.h"

#include <QLocale>

#include <cmath>

namespace korimo::chart {

QString formatNumber(double value)
{
    if (!std::isfinite(value))
        return QLocale().toString(value);
    const QLocale locale;
    QString text = locale.toString(value, 'f', 3);
    const QString point = locale.decimalPoint();
    const qsizetype at = text.lastIndexOf(point);
    if (at >= 0) {
        qsizetype end = text.size();
        while (end > at + point.size() && text.at(end - 1) == locale.zeroDigit().at(0))
            --end;
        if (end == at + point.size())
            end = at;
        text.truncate(end);
    }
    // A tiny negative value printed to three decimals is "-0": show it as 0.
    if (text == locale.negativeSign() + locale.zeroDigit())
        text = locale.zeroDigit();
    return text;
}

int labelsThatFit(int axisLength, int labelSize, int separation)
{
    if (axisLength <= 0)
        return 0;
    const int each = labelSize + separation;
    if (each <= 0)
        return axisLength;
    return axisLength / each;
}

int labelSeparation(int labelSize, int percent)
{
    return static_cast<int>(roundHalfEven(static_cast<long double>(labelSize) * percent / 100));
}

double nextLabelStep(double step)
{
    if (!(step > 0) || !std::isfinite(step))
        return step;
    int exponent = static_cast<int>(std::floor(std::log10(step)));
    const auto decade = [](int e) { return e >= 0 ? std::pow(10.0, e) : 1.0 / std::pow(10.0, -e); };
    // log10 may land one decade off for values such as 0.3 or 1000; settle it by comparison.
    while (decade(exponent) > step * (1 + 1e-9))
        --exponent;
    while (decade(exponent + 1) <= step * (1 + 1e-9))
        ++exponent;
    for (int mantissa : {2, 5, 10}) {
        const double candidate = exponent >= 0 ? mantissa * decade(exponent)
                                               : mantissa / std::pow(10.0, -exponent);
        if (candidate > step * (1 + 1e-9))
            return candidate;
    }
    return 10 * decade(exponent); // not reached
}

double labelStep(double minimum, double maximum, double increment, int labelsFit)
{
    if (!(increment > 0) || !std::isfinite(increment) || !std::isfinite(minimum) || !std::isfinite(maximum))
        return increment;
    const double range = std::fabs(maximum - minimum);
    double step = increment;
    // Each growth at least doubles the step, so a few hundred rounds cover any double range.
    for (int guard = 0; guard < 2000; ++guard) {
        const long double steps = roundHalfEven(static_cast<long double>(range) / step);
        if (steps <= labelsFit)
            break;
        step = nextLabelStep(step);
    }
    return step;
}

std::vector<double> labelValues(double minimum, double maximum, double step)
{
    std::vector<double> values;
    if (!(step > 0) || !std::isfinite(step) || !std::isfinite(minimum) || !std::isfinite(maximum)
        || maximum < minimum)
        return values;
    // A hair of tolerance so that 36.2 / 0.1 = 361.99999... still labels 36.2.
    const double first = std::ceil(minimum / step - 1e-9);
    const double last = std::floor(maximum / step + 1e-9);
    if (last - first > 10000)
        return values;
    // Steps below 1 are decimal fractions (0.1, 0.2, 0.5 ...): divide by the exact inverse so that
    // the labels are the doubles nearest 36.2, 36.3 ... rather than 362 * 0.1.
    const double inverse = 1.0 / step;
    const bool useInverse = step < 1 && std::fabs(inverse - std::round(inverse)) < 1e-9;
    for (double k = first; k <= last; k += 1) {
        const double value = useInverse ? k / std::round(inverse) : k * step;
        values.push_back(value == 0 ? 0.0 : value);
    }
    return values;
}

} // namespace korimo::chart
