// Spin boxes that take a typed value outside their range as the nearest
// limit (5000 typed into a box of 1 to 2000 becomes 2000), where Qt's own
// refuse the keystroke that leaves the range.
#pragma once

#include "combine/api/combine_settings.h"

#include <QDoubleSpinBox>
#include <QSpinBox>

namespace tessara
{

class CRangeSpinBox : public QSpinBox
{
    Q_OBJECT
public:
    using QSpinBox::QSpinBox;

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
};

class CRangeDoubleSpinBox : public QDoubleSpinBox
{
    Q_OBJECT
public:
    using QDoubleSpinBox::QDoubleSpinBox;

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
};

/// A box for a whole-number setting: range, step and the default value of
/// its row, right-aligned, and named for screen readers by its caption.
CRangeSpinBox* SettingSpinBox(const SettingRow& setting, const char* objectName, QWidget* parent);

/// The same for a decimal setting, left-aligned, with the decimals of its row.
CRangeDoubleSpinBox*
SettingDecimalBox(const SettingRow& setting, const char* objectName, QWidget* parent);

/// A caption as the window shows it: "&" before the letter Alt reaches its
/// control by.
QString CaptionText(const SettingRow& setting);

} // namespace tessara
