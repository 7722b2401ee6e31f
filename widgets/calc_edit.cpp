#include "widgets/calc_edit.h"
#include "widgets/words.h"
#include "base/translate.h"

#include "measure/numfmt.h"

#include <QAction>
#include <QApplication>
#include <QFocusEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include <charconv>

namespace kvx {

namespace {

// The number the field holds, when its text is one.
std::optional<double> ParseNumber(const QString& text)
{
    const std::string s = text.trimmed().toStdString();
    if (s.empty())
        return std::nullopt;
    const char* begin = s.data();
    if (*begin == '+')
        ++begin;
    double v = 0;
    const auto [ptr, ec] = std::from_chars(begin, s.data() + s.size(), v);
    if (ec != std::errc() || ptr != s.data() + s.size())
        return std::nullopt;
    return v;
}

QIcon PadIcon()
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QColor(60, 60, 60));
    p.setBrush(QColor(235, 235, 235));
    p.drawRect(2, 0, 11, 15);
    p.fillRect(4, 2, 8, 3, QColor(120, 190, 120));
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            p.fillRect(4 + 3 * c, 7 + 3 * r, 2, 2, QColor(60, 60, 60));
    return QIcon(pm);
}

} // namespace

QString ValueText(double value)
{
    return QString::fromStdString(FormatGeneral(value));
}

// --- the pad -----------------------------------------------------------------------------

TchCalc::TchCalc(double value, QWidget* parent) : QDialog(parent, Qt::Tool), pad_(value)
{
    setObjectName(QStringLiteral("TchCalc"));
    setWindowTitle(QStringLiteral("NumPad"));
    QFont bold = font();
    bold.setBold(true);
    bold.setPixelSize(15);
    setFont(bold);
    auto* grid = new QGridLayout(this);
    grid->setSpacing(2);
    grid->setContentsMargins(3, 3, 3, 3);
    display_ = new QLabel(this);
    display_->setObjectName(QStringLiteral("Display"));
    display_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    display_->setFrameShape(QFrame::Box);
    grid->addWidget(display_, 0, 0, 1, 4);
    struct Button {
        const char* text;
        char key;
        int row, col, span;
        const char* colour;
    };
    const Button buttons[] = {
        {"BS", CalcPad::kBackspace, 1, 0, 2, "#c00000"}, {"C", CalcPad::kClear, 1, 2, 2, "#c00000"},
        {"7", '7', 2, 0, 1, nullptr}, {"8", '8', 2, 1, 1, nullptr}, {"9", '9', 2, 2, 1, nullptr},
        {"/", '/', 2, 3, 1, "#0000c0"}, {"4", '4', 3, 0, 1, nullptr}, {"5", '5', 3, 1, 1, nullptr},
        {"6", '6', 3, 2, 1, nullptr}, {"*", '*', 3, 3, 1, "#0000c0"}, {"1", '1', 4, 0, 1, nullptr},
        {"2", '2', 4, 1, 1, nullptr}, {"3", '3', 4, 2, 1, nullptr}, {"-", '-', 4, 3, 1, "#0000c0"},
        {"0", '0', 5, 0, 1, nullptr}, {".", '.', 5, 1, 1, nullptr}, {"=", '=', 5, 2, 1, "#0000c0"},
        {"+", '+', 5, 3, 1, "#0000c0"}, {"入力", CalcPad::kEnter, 6, 0, 4, "#008000"},
    };
    for (const Button& b : buttons) {
        auto* button =
            new QPushButton(b.key == CalcPad::kEnter ? Qx("CalcEdit", "入力") : QString::fromUtf8(b.text), this);
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoDefault(false);
        if (b.colour)
            button->setStyleSheet(QStringLiteral("color:%1;").arg(QString::fromLatin1(b.colour)));
        const char key = b.key;
        connect(button, &QPushButton::clicked, this, [this, key] { Press(key); });
        grid->addWidget(button, b.row, b.col, 1, b.span);
    }
    display_->setText(DisplayText());
    resize(142, 203);
}

QString TchCalc::DisplayText() const
{
    return QString::fromStdString(pad_.DisplayText());
}

void TchCalc::Press(char key)
{
    pad_.Key(key);
    display_->setText(DisplayText());
    if (pad_.Closed()) {
        result_ = pad_.Display();
        accept();
    }
}

void TchCalc::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Press('\r');
        return;
    case Qt::Key_Backspace:
        Press(CalcPad::kBackspace);
        return;
    case Qt::Key_Escape:
        reject();
        return;
    default:
        break;
    }
    const QString text = event->text();
    if (text.size() == 1 && text[0].unicode() < 128)
        Press(static_cast<char>(text[0].unicode()));
}

// --- the field ---------------------------------------------------------------------------

TchCalcEdit::TchCalcEdit(QWidget* parent) : QLineEdit(QStringLiteral("0"), parent)
{
    setAlignment(Qt::AlignRight);
    QAction* pad = addAction(PadIcon(), QLineEdit::TrailingPosition);
    pad->setObjectName(QStringLiteral("CalcButton"));
    connect(pad, &QAction::triggered, this, [this] { OpenPad(); });
    runPad = [this](double value, QPoint at) -> std::optional<double> {
        TchCalc calc(value, this);
        calc.adjustSize();
        QRect area = screen() ? screen()->availableGeometry() : QRect(0, 0, 1 << 20, 1 << 20);
        QPoint pos(std::max(0, at.x()), std::max(0, at.y()));
        pos.setX(std::min(pos.x(), area.right() - calc.width()));
        pos.setY(std::min(pos.y(), area.bottom() - calc.height()));
        calc.move(pos);
        calc.exec();
        return calc.Result();
    };
    warn = [this] {
        QMessageBox::warning(this, Qx("CalcEdit", "入力エラー"), Qx("CalcEdit", "無効な数値が入力されました"));
    };
}

bool TchCalcEdit::Validate()
{
    std::optional<double> v = ParseNumber(text());
    if (!v) {
        setText(QStringLiteral("0"));
        selectAll();
        emit textEdited(text());
        v = 0.0;
    }
    if ((MinCheck && *v < MinValue) || (MaxCheck && *v > MaxValue)) {
        if (WorningDlg && warn)
            warn();
        return false;
    }
    return true;
}

bool TchCalcEdit::OpenPad()
{
    std::optional<double> v = ParseNumber(text());
    if (!v) {
        setText(QStringLiteral("0"));
        setFocus();
        selectAll();
        v = 0.0;
    }
    const std::optional<double> result = runPad(*v, mapToGlobal(QPoint(0, height() + 1)));
    if (!result)
        return false;
    setText(ValueText(*result));
    emit textEdited(text());
    emit enterCalc();
    return true;
}

void TchCalcEdit::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (!Validate()) {
            setFocus();
            selectAll();
            event->accept();
            return;
        }
        event->ignore();  // the focus manager moves on
        return;
    }
    // Editing and moving keys keep working; typed characters are filtered.
    const QString text = event->text();
    if (text.isEmpty() || key == Qt::Key_Backspace || key == Qt::Key_Delete ||
        (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    const QChar c = text[0];
    if ((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-') || c == QLatin1Char('.'))
        QLineEdit::keyPressEvent(event);
}

void TchCalcEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (event->reason() != Qt::PopupFocusReason && !Validate())
        QMetaObject::invokeMethod(this, [this] {
            setFocus();
            selectAll();
        }, Qt::QueuedConnection);
}

} // namespace kvx
