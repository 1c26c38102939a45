#include "ui/range_spin_box.h"

#include <cmath>
#include <optional>
#include <type_traits>

namespace tessara
{
namespace
{

/// The number typed, without prefix, suffix and blanks; none when the text
/// is no number at all.
std::optional<double> TypedNumber(const QAbstractSpinBox& box,
                                  const QString& prefix,
                                  const QString& suffix,
                                  QString input)
{
    if (input.startsWith(prefix))
        input.remove(0, prefix.size());
    if (!suffix.isEmpty() && input.endsWith(suffix))
        input.chop(suffix.size());
    bool ok = false;
    const double value = box.locale().toDouble(input.trimmed(), &ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

/// The limit nearest to a number typed outside `lo`..`hi`; none when the
/// text is no number or lies in the range.
std::optional<double> NearestLimit(std::optional<double> typed, double lo, double hi)
{
    if (typed && *typed > hi)
        return hi;
    if (typed && *typed < lo)
        return lo;
    return std::nullopt;
}

} // namespace

QValidator::State CRangeSpinBox::validate(QString& input, int& pos) const
{
    const QValidator::State state = QSpinBox::validate(input, pos);
    const std::optional<double> typed = TypedNumber(*this, prefix(), suffix(), input);
    // A whole number, however large: a cast to an integer type would be
    // undefined past its range ("1e30").
    if (state == QValidator::Invalid && typed && std::trunc(*typed) == *typed)
        return QValidator::Intermediate; // fixup brings it into range
    return state;
}

void CRangeSpinBox::fixup(QString& input) const
{
    const auto typed = TypedNumber(*this, prefix(), suffix(), input);
    if (const auto limit = NearestLimit(typed, minimum(), maximum()))
        input = textFromValue(static_cast<int>(*limit));
    QSpinBox::fixup(input);
}

QValidator::State CRangeDoubleSpinBox::validate(QString& input, int& pos) const
{
    const QValidator::State state = QDoubleSpinBox::validate(input, pos);
    if (state == QValidator::Invalid && TypedNumber(*this, prefix(), suffix(), input))
        return QValidator::Intermediate;
    return state;
}

void CRangeDoubleSpinBox::fixup(QString& input) const
{
    const auto typed = TypedNumber(*this, prefix(), suffix(), input);
    if (const auto limit = NearestLimit(typed, minimum(), maximum()))
        input = textFromValue(*limit);
    QDoubleSpinBox::fixup(input);
}

QString CaptionText(const SettingRow& setting)
{
    return QString::fromUtf8(setting.caption);
}

namespace
{

/// What both kinds of box take from the row; the decimals before the range
/// and the range before the value, each rounded to what comes before.
template <typename Box, typename Value>
Box* SettingBox(const SettingRow& setting, const char* objectName, QWidget* parent)
{
    auto* box = new Box(parent);
    box->setObjectName(objectName);
    box->setAccessibleName(CaptionText(setting).remove('&').trimmed());
    if constexpr (std::is_same_v<Value, double>)
        box->setDecimals(setting.decimals);
    box->setRange(static_cast<Value>(setting.minimum), static_cast<Value>(setting.maximum));
    box->setSingleStep(static_cast<Value>(setting.step));
    box->setValue(static_cast<Value>(setting.DefaultNumber()));
    return box;
}

} // namespace

CRangeSpinBox* SettingSpinBox(const SettingRow& setting, const char* objectName, QWidget* parent)
{
    auto* box = SettingBox<CRangeSpinBox, int>(setting, objectName, parent);
    box->setAlignment(Qt::AlignRight);
    return box;
}

CRangeDoubleSpinBox*
SettingDecimalBox(const SettingRow& setting, const char* objectName, QWidget* parent)
{
    auto* box = SettingBox<CRangeDoubleSpinBox, double>(setting, objectName, parent);
    box->setAlignment(Qt::AlignLeft);
    return box;
}

} // namespace tessara
