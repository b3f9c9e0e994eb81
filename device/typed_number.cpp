// Strict reading of typed decimals and their exact hundredths.
#include "device/typed_number.h"

namespace k740 {

namespace {

struct DecimalParts {
    bool negative = false;
    QString whole;     // digits before the point
    QString fraction;  // digits after it
};

std::optional<DecimalParts> splitDecimal(const QString& text) {
    const QString t = text.trimmed();
    DecimalParts d;
    int i = 0;
    if (i < t.size() && (t[i] == QLatin1Char('-') || t[i] == QLatin1Char('+'))) {
        d.negative = t[i] == QLatin1Char('-');
        ++i;
    }
    bool point = false;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c == QLatin1Char('.') && !point) {
            point = true;
        } else if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            (point ? d.fraction : d.whole).append(c);
        } else {
            return std::nullopt;
        }
    }
    if (d.whole.isEmpty() && d.fraction.isEmpty()) return std::nullopt;
    return d;
}

}  // namespace

std::optional<double> typedDecimal(const QString& text) {
    if (!splitDecimal(text)) return std::nullopt;
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok) return std::nullopt;
    return v;
}

std::optional<long long> hundredthsAsTyped(const QString& text) {
    const auto d = splitDecimal(text);
    if (!d || d->whole.size() > 9) return std::nullopt;
    long long v = d->whole.isEmpty() ? 0 : d->whole.toLongLong();
    const QString cents = (d->fraction + QStringLiteral("00")).left(2);
    v = v * 100 + cents.toInt();
    return d->negative ? -v : v;
}

std::optional<std::uint16_t> typedPort(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 5) return std::nullopt;
    unsigned value = 0;
    for (const QChar c : t) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c.unicode() - '0');
    }
    if (value < 1 || value > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

}  // namespace k740
