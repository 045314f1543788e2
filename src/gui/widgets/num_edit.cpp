// CNumEdit: a box holding a non-negative number as a digit string.
#include "gui/widgets/num_edit.h"

#include <QRegularExpression>
#include <QRegularExpressionValidator>

#include "core/sequence/digits.h"

namespace pelldra {

CNumEdit::CNumEdit(QWidget* parent) : QLineEdit(parent)
{
    // Only digits can be typed or pasted; the value is a digit string, never a machine integer.
    setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
}

void CNumEdit::SetValue(const std::optional<std::string>& text, int width)
{
    width_ = width;
    if (!text) {
        clear();
        return;
    }
    if (!bounds_.upper.empty() && CompareDigits(*text, bounds_.upper) > 0)
        return;
    if (CompareDigits(*text, bounds_.lower) < 0)
        return;
    Show(PadZeros(*text, width));
}

void CNumEdit::StepUp(int stepPosition)
{
    if (const auto next = StepUpText(Value(), stepPosition == 1, width_, bounds_))
        Show(*next);
}

void CNumEdit::StepDown(int stepPosition)
{
    if (const auto next = StepDownText(Value(), stepPosition == 1, width_, bounds_))
        Show(*next);
}

std::string CNumEdit::Value() const
{
    return text().toStdString();
}

void CNumEdit::SetBounds(const std::string& upper, const std::string& lower)
{
    bounds_ = {upper, lower};
}

void CNumEdit::Show(const std::string& text)
{
    setText(QString::fromStdString(text));
}

} // namespace pelldra
