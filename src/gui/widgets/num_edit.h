// CNumEdit: the box of a start or end number, a digit string of any length stepped by one or by ten.
#pragma once

#include <QLineEdit>

#include <optional>
#include <string>

#include "core/sequence/spin_step.h"

namespace pelldra {

class CNumEdit final : public QLineEdit
{
    Q_OBJECT

public:
    explicit CNumEdit(QWidget* parent);
    CNumEdit(const CNumEdit&) = delete;
    CNumEdit& operator=(const CNumEdit&) = delete;

    // Keeps width (digits to zero-fill, 0 = none). nullopt empties the box; a text outside the bounds leaves the
    // box as it is; any other text is shown zero-filled to width.
    void SetValue(const std::optional<std::string>& text, int width);
    // Step by one (stepPosition 0) or by ten (1), keeping the width. Only the box's own text changes.
    void StepUp(int stepPosition);
    void StepDown(int stepPosition);

    std::string Value() const;
    int Width() const { return width_; }
    // "" for none. The program never sets them; they stop a step at the bound.
    void SetBounds(const std::string& upper, const std::string& lower);

private:
    void Show(const std::string& text);

    int width_ = 0;
    DigitBounds bounds_;
};

} // namespace pelldra
