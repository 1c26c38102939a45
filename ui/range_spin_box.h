// Spin boxes that take a typed value outside their range as the nearest
// limit (5000 typed into a box of 1 to 2000 becomes 2000), where Qt's own
// refuse the keystroke that leaves the range.
#pragma once

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

} // namespace tessara
