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
    m_width = width;
    if (!text) {
        clear();
        return;
    }
    if (!m_bounds.upper.empty() && CompareDigits(*text, m_bounds.upper) > 0)
        return;
    if (CompareDigits(*text, m_bounds.lower) < 0)
        return;
    Show(PadZeros(*text, width));
}

void CNumEdit::StepUp(int stepPosition)
{
    if (const auto next = StepUpText(Value(), stepPosition == 1, m_width, m_bounds))
        Show(*next);
}

void CNumEdit::StepDown(int stepPosition)
{
    if (const auto next = StepDownText(Value(), stepPosition == 1, m_width, m_bounds))
        Show(*next);
}

std::string CNumEdit::Value() const
{
    return text().toStdString();
}

void CNumEdit::SetBounds(const std::string& upper, const std::string& lower)
{
    m_bounds = {upper, lower};
}

void CNumEdit::Show(const std::string& text)
{
    setText(QString::fromStdString(text));
}

} // namespace pelldra
