// The numeric fields, the Return key's focus movement and the area dialogs.

#include "widgets/area_dialogs.h"
#include "widgets/calc_edit.h"
#include "widgets/focus_manager.h"
#include "widgets/property_dialog.h"

#include <QCheckBox>

#include <QAbstractItemView>
#include <QComboBox>
#include <QPushButton>
#include <QLabel>
#include <QLineEdit>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QApplication>

using namespace kvx;

class WidgetsTest : public QObject {
    Q_OBJECT
private slots:
    void fieldTakesOnlyNumberKeys();
    void padResultReplacesTheText();
    void validationAndBounds();
    void returnMovesThroughTheList();
    void returnClosesAnOpenList();
    void slopeAngleFromDepthAndRun();
    void slopeDialogGivesItsAnglesOnOk();
    void nameDialogKeepsWhatWasTyped();
    void nameDialogTakesWhatTheFileHolds_data();
    void nameDialogTakesWhatTheFileHolds();
    void nameDialogRefusesPastedText();
    void returnConfirmsTheSlopeDialog_data();
    void returnConfirmsTheSlopeDialog();
    void returnConfirmsTheNameDialog();
    void wheelTurnsASelectorOnlyWithTheFocus();
    void preferenceNumbersStayInBounds_data();
    void preferenceNumbersStayInBounds();
    void clickPrecisionStaysInBounds_data();
    void clickPrecisionStaysInBounds();
    void preferencesStoreEveryControl();
};

// Types text as a keyboard would deliver it, a character at a time (QTest's
// keyClicks knows only ASCII): each key press carries one code point.
void TypeText(QWidget* target, const QString& text)
{
    for (const char32_t c : text.toUcs4()) {
        const QString one = QString::fromUcs4(&c, 1);
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, one);
        QCoreApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, one);
        QCoreApplication::sendEvent(target, &release);
    }
}

void WidgetsTest::fieldTakesOnlyNumberKeys()
{
    TchCalcEdit field;
    field.clear();
    QTest::keyClicks(&field, QStringLiteral("1a2,3.-x4"));
    QCOMPARE(field.text(), QStringLiteral("123.-4"));
    QTest::keyClick(&field, Qt::Key_Backspace);
    QCOMPARE(field.text(), QStringLiteral("123.-"));
}

void WidgetsTest::padResultReplacesTheText()
{
    TchCalcEdit field;
    field.setText(QStringLiteral("1000"));
    int entered = 0;
    QString edited;
    connect(&field, &TchCalcEdit::enterCalc, [&] { ++entered; });
    connect(&field, &QLineEdit::textEdited, [&](const QString& t) { edited = t; });
    // The pad as a user would work it: its value is the field's, keys follow.
    std::string keys;
    field.runPad = [&](double value, QPoint) -> std::optional<double> {
        CalcPad pad(value);
        pad.Keys(keys);
        if (!pad.Closed())
            return std::nullopt;
        return pad.Display();
    };
    keys = std::string(1, CalcPad::kEnter);
    QVERIFY(field.OpenPad());
    QCOMPARE(field.text(), QStringLiteral("1000"));
    keys = "5*4\r";
    QVERIFY(field.OpenPad());
    QCOMPARE(field.text(), QStringLiteral("20"));
    QCOMPARE(edited, QStringLiteral("20"));
    QCOMPARE(entered, 2);
    keys = "7";  // closed without "入力": nothing changes
    QVERIFY(!field.OpenPad());
    QCOMPARE(field.text(), QStringLiteral("20"));

    // Opening the pad on text that is no number starts from 0.
    field.setText(QStringLiteral("--"));
    double seen = -1;
    field.runPad = [&](double value, QPoint) -> std::optional<double> {
        seen = value;
        return std::nullopt;
    };
    field.OpenPad();
    QCOMPARE(seen, 0.0);
    QCOMPARE(field.text(), QStringLiteral("0"));
}

void WidgetsTest::validationAndBounds()
{
    TchCalcEdit field;
    int warnings = 0;
    field.warn = [&] { ++warnings; };
    field.setText(QStringLiteral("1-2"));
    QVERIFY(field.Validate());
    QCOMPARE(field.text(), QStringLiteral("0"));
    field.MinCheck = field.MaxCheck = true;
    field.MinValue = 1;
    field.MaxValue = 10;
    field.setText(QStringLiteral("11"));
    QVERIFY(!field.Validate());
    QCOMPARE(warnings, 0);
    field.WorningDlg = true;
    QVERIFY(!field.Validate());
    QCOMPARE(warnings, 1);
    field.setText(QStringLiteral("5.5"));
    QVERIFY(field.Validate());
}

void WidgetsTest::returnMovesThroughTheList()
{
    QWidget form;
    auto* layout = new QVBoxLayout(&form);
    QLineEdit* fields[3];
    const char* names[] = {"W", "H", "Price"};
    for (int i = 0; i < 3; ++i) {
        fields[i] = new QLineEdit(&form);
        fields[i]->setObjectName(QString::fromLatin1(names[i]));
        layout->addWidget(fields[i]);
    }
    auto* outsider = new QLineEdit(&form);
    outsider->setObjectName(QStringLiteral("Other"));
    layout->addWidget(outsider);
    TFocusManager manager(&form);
    manager.ReturnMoveEnabled = true;
    manager.SetReturnMoveList({QStringLiteral("W"), QString(), QStringLiteral("H"), QStringLiteral("Price")});
    QCOMPARE(manager.ReturnMoveList().size(), 3);
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));

    fields[0]->setFocus();
    QTest::keyClick(fields[0], Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), fields[1]);
    QTest::keyClick(fields[1], Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), fields[2]);
    QTest::keyClick(fields[2], Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), fields[0]);  // after the last, the first
    QTest::keyClick(fields[0], Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), fields[2]);  // Shift: back
    QTest::keyClick(fields[2], Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(QApplication::focusWidget(), fields[2]);  // Ctrl: consumed, no move
    outsider->setFocus();
    QTest::keyClick(outsider, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), outsider);  // not in the list: left alone
}

void WidgetsTest::returnClosesAnOpenList()
{
    QWidget form;
    auto* layout = new QVBoxLayout(&form);
    auto* combo = new QComboBox(&form);
    combo->addItems({QStringLiteral("a"), QStringLiteral("b")});
    auto* next = new QLineEdit(&form);
    layout->addWidget(combo);
    layout->addWidget(next);
    TFocusManager manager(&form);
    manager.ReturnMoveEnabled = true;
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    combo->setFocus();
    combo->showPopup();
    QTRY_VERIFY(combo->view()->isVisible());
    QTest::keyClick(combo->view(), Qt::Key_Return);
    QTRY_VERIFY(!combo->view()->isVisible());
    QTest::keyClick(combo, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), next);  // in the tab order
}

void WidgetsTest::slopeAngleFromDepthAndRun()
{
    QCOMPARE(SlopeAngleText(QStringLiteral("1000"), QStringLiteral("1000")), QStringLiteral("45"));
    QCOMPARE(SlopeAngleText(QStringLiteral("500"), QStringLiteral("866")), QStringLiteral("30.0007"));
    QCOMPARE(SlopeAngleText(QStringLiteral("0"), QStringLiteral("100")), QStringLiteral("0"));
    QCOMPARE(SlopeAngleText(QStringLiteral("100"), QString()), QString());
}

void WidgetsTest::slopeDialogGivesItsAnglesOnOk()
{
    TFDSlant dialog(12.5, 0, nullptr);
    QCOMPARE(dialog.chCalcEdit_SlantV->text(), QStringLiteral("12.5"));
    dialog.chCalcEdit_H1->setText(QStringLiteral("1000"));
    dialog.chCalcEdit_H2->setText(QStringLiteral("1000"));
    QCOMPARE(dialog.chCalcEdit_SlantH->text(), QStringLiteral("45"));
    QCOMPARE(dialog.chCalcEdit_SlantV->text(), QStringLiteral("12.5"));  // the other row is untouched
    dialog.chCalcEdit_H2->setText(QString());
    QCOMPARE(dialog.chCalcEdit_SlantH->text(), QString());
    dialog.chCalcEdit_SlantH->setText(QStringLiteral("-120"));
    QTimer::singleShot(0, &dialog, [&] { dialog.findChild<QPushButton*>(QStringLiteral("BitBtn_Ok"))->click(); });
    dialog.exec();
    const auto angles = dialog.Angles();
    QVERIFY(angles.has_value());
    QCOMPARE(angles->second, QStringLiteral("-120"));

    TFDSlant aborted(1, 2, nullptr);
    QTimer::singleShot(0, &aborted, [&] { aborted.findChild<QPushButton*>(QStringLiteral("BitBtn_Abort"))->click(); });
    aborted.exec();
    QVERIFY(!aborted.Angles().has_value());
}

void WidgetsTest::nameDialogKeepsWhatWasTyped()
{
    TFNameDlg dialog(nullptr);
    QTimer::singleShot(0, &dialog, [&] {
        dialog.Edit1->insert(QStringLiteral("北側外壁"));
        dialog.reject();  // the close box: the text still counts
    });
    QCOMPARE(dialog.Ask(QStringLiteral("名称入力"), QStringLiteral("名称")), QStringLiteral("北側外壁"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("名称入力"));
    QCOMPARE(dialog.Label1->text(), QStringLiteral("名称"));
    QTimer::singleShot(0, &dialog, [&] { dialog.accept(); });
    QCOMPARE(dialog.Ask(QStringLiteral("名称入力"), QStringLiteral("名称")), QString());  // emptied each time
}

void WidgetsTest::nameDialogTakesWhatTheFileHolds_data()
{
    // Typed key by key into the empty field: what the field keeps, the bytes
    // the label says are left, and whether the last key was refused with a reason.
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<int>("left");
    QTest::addColumn<bool>("refused");
    QTest::newRow("20 single bytes, the limit") << "Window opening south" << "Window opening south" << 0 << false;
    QTest::newRow("the 21st byte") << "Window opening south side" << "Window opening south" << 0 << true;
    QTest::newRow("19 bytes") << "Window opening sout" << "Window opening sout" << 1 << false;
    QTest::newRow("ten double-byte characters") << "北側外壁窓開口部南東" << "北側外壁窓開口部南東" << 0 << false;
    QTest::newRow("an eleventh") << "北側外壁窓開口部南東西" << "北側外壁窓開口部南東" << 0 << true;
    // 19 bytes then a double-byte character would end on byte 21: refused whole.
    QTest::newRow("half a character left") << "abcdefghijklmnopqrs窓" << "abcdefghijklmnopqrs" << 1 << true;
    QTest::newRow("half-width kana take one") << "ｶﾍﾞ" << "ｶﾍﾞ" << 17 << false;
    QTest::newRow("not in CP932: emoji") << "外壁😀" << "外壁" << 16 << true;
    QTest::newRow("not in CP932: hangul") << "壁한" << "壁" << 18 << true;
}

void WidgetsTest::nameDialogTakesWhatTheFileHolds()
{
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    QFETCH(int, left);
    QFETCH(bool, refused);
    TFNameDlg dialog(nullptr);
    QString why;
    QString leftText;
    QTimer::singleShot(0, &dialog, [&] {
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        TypeText(dialog.Edit1, typed);
        why = dialog.Label_Why->text();
        leftText = dialog.Label_Left->text();
        dialog.accept();
    });
    QCOMPARE(dialog.Ask(QStringLiteral("名称入力"), QStringLiteral("名称")), kept);
    QCOMPARE(leftText, QStringLiteral("残り %1 バイト").arg(left));
    QCOMPARE(!why.isEmpty(), refused);
    const QString tag = QString::fromUtf8(QTest::currentDataTag());
    if (tag.startsWith(QStringLiteral("not in CP932"))) {
        const char32_t lastCode = typed.toUcs4().back();
        const QString last = QString::fromUcs4(&lastCode, 1);
        QVERIFY2(why.contains(last) && why.contains(QStringLiteral("CP932")), qPrintable(why));
    } else if (refused)
        QVERIFY2(why.contains(QStringLiteral("20")), qPrintable(why));
}

void WidgetsTest::nameDialogRefusesPastedText()
{
    // A paste that would not fit is refused whole, never cut to what fits.
    TFNameDlg dialog(nullptr);
    QString afterLong;
    QString why;
    QTimer::singleShot(0, &dialog, [&] {
        // After the name it starts with, as a user pressing End would.
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        dialog.Edit1->end(false);
        dialog.Edit1->insert(QStringLiteral("外壁"));
        dialog.Edit1->insert(QStringLiteral("Window opening south side"));
        afterLong = dialog.Edit1->text();
        why = dialog.Label_Why->text();
        dialog.Edit1->insert(QStringLiteral("南"));
        dialog.accept();
    });
    QCOMPARE(dialog.Ask(QStringLiteral("名称入力"), QStringLiteral("名称"), QStringLiteral("北")), QStringLiteral("北外壁南"));
    QCOMPARE(afterLong, QStringLiteral("北外壁"));
    QVERIFY(!why.isEmpty());
    QVERIFY2(dialog.Label_Why->text().isEmpty(), "an edit that is taken clears the reason");
    QCOMPARE(dialog.Label_Left->text(), QStringLiteral("残り 12 バイト"));
}

void WidgetsTest::returnConfirmsTheSlopeDialog_data()
{
    // The control that has the focus, and how many Returns the user presses.
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("returns");
    QTest::addColumn<int>("result");
    QTest::newRow("walk through every field") << "chCalcEdit_SlantV" << 6 << int(QDialog::Accepted);
    QTest::newRow("last field") << "chCalcEdit_H2" << 1 << int(QDialog::Accepted);
    QTest::newRow("OK focused") << "BitBtn_Ok" << 1 << int(QDialog::Accepted);
    QTest::newRow("abort focused") << "BitBtn_Abort" << 1 << int(QDialog::Rejected);
    QTest::newRow("short of the last field") << "chCalcEdit_SlantV" << 5 << -1;
}

void WidgetsTest::returnConfirmsTheSlopeDialog()
{
    QFETCH(QString, start);
    QFETCH(int, returns);
    QFETCH(int, result);
    TFDSlant dialog(12.5, 7, nullptr);
    int finished = -1;
    QTimer::singleShot(0, &dialog, [&] {
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        dialog.findChild<QWidget*>(start)->setFocus();
        for (int i = 0; i < returns && dialog.isVisible(); ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        if (dialog.isVisible())
            dialog.done(99);  // still open: the test closes it
    });
    finished = dialog.exec();
    QCOMPARE(finished, result == -1 ? 99 : result);
    if (result == QDialog::Accepted)
        QCOMPARE(dialog.Angles(), (std::optional<std::pair<QString, QString>>{{QStringLiteral("12.5"), QStringLiteral("7")}}));
}

void WidgetsTest::returnConfirmsTheNameDialog()
{
    TFNameDlg dialog(nullptr);
    int shownAfterReturn = -1;
    QTimer::singleShot(0, &dialog, [&] {
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QTest::keyClicks(dialog.Edit1, QStringLiteral("north"));
        QTest::keyClick(dialog.Edit1, Qt::Key_Return);
        shownAfterReturn = dialog.isVisible();
        if (dialog.isVisible())
            dialog.done(99);
    });
    QCOMPARE(dialog.Ask(QStringLiteral("名称入力"), QStringLiteral("名称")), QStringLiteral("north"));
    QCOMPARE(shownAfterReturn, 0);  // the first Return confirms
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void WidgetsTest::wheelTurnsASelectorOnlyWithTheFocus()
{
    QWidget form;
    auto* layout = new QVBoxLayout(&form);
    auto* other = new QLineEdit(&form);
    auto* combo = new QComboBox(&form);
    combo->addItems({QStringLiteral("設定1"), QStringLiteral("設定2"), QStringLiteral("設定3")});
    layout->addWidget(other);
    layout->addWidget(combo);
    WheelOnlyWithFocus(combo);
    int activated = 0;
    QObject::connect(combo, &QComboBox::activated, [&] { ++activated; });
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    other->setFocus();
    auto turn = [&] {
        const QPointF at = QPointF(combo->rect().center());
        QWheelEvent notch(at, combo->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(combo, &notch);
    };
    turn();
    QCOMPARE(combo->currentIndex(), 0);
    QCOMPARE(activated, 0);
    combo->setFocus();
    turn();
    QCOMPARE(combo->currentIndex(), 1);
    QCOMPARE(activated, 1);
}

void WidgetsTest::preferenceNumbersStayInBounds_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lower");
    QTest::addColumn<int>("upper");
    QTest::addColumn<int>("stored");
    QTest::newRow("pan size below") << "50" << 100 << 500 << 100;
    QTest::newRow("pan size above") << "9999" << 100 << 500 << 500;
    QTest::newRow("pan size empty") << "" << 100 << 500 << 100;
    QTest::newRow("label size cut toward zero") << "12.7" << 8 << 20 << 12;
    QTest::newRow("label size without digits") << "abc" << 8 << 20 << 8;
    QTest::newRow("label size with a unit") << "14pt" << 8 << 20 << 14;
    QTest::newRow("days negative") << "-5" << 0 << 100 << 0;
    QTest::newRow("days a year") << "365" << 0 << 100 << 100;
    QTest::newRow("days inside other text") << "約30日" << 0 << 100 << 30;
}

void WidgetsTest::preferenceNumbersStayInBounds()
{
    QFETCH(QString, text);
    QFETCH(int, lower);
    QFETCH(int, upper);
    QFETCH(int, stored);
    QCOMPARE(PropertyNumber(text.toStdString(), lower, upper), stored);
}

void WidgetsTest::clickPrecisionStaysInBounds_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("before");
    QTest::addColumn<double>("stored");
    QTest::newRow("as typed") << "0.8" << 0.5 << 0.8;
    QTest::newRow("with a unit") << "2px" << 0.5 << 2.0;
    QTest::newRow("below") << "0.01" << 0.5 << 0.1;
    QTest::newRow("above") << "12" << 0.5 << 5.0;
    QTest::newRow("no number keeps the last") << "abc" << 1.5 << 1.5;
    QTest::newRow("a comma ends the number") << "0,7" << 0.5 << 0.1;
}

void WidgetsTest::clickPrecisionStaysInBounds()
{
    QFETCH(QString, text);
    QFETCH(double, before);
    QFETCH(double, stored);
    QCOMPARE(PropertyClickSigma(text.toStdString(), before), stored);
}

void WidgetsTest::preferencesStoreEveryControl()
{
    TAppSettings before;
    before.ColorSpaceSub2 = 0x123456;
    TFDProperty dialog(before, nullptr);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("環境設定"));
    QCOMPARE(dialog.Edit_PanWindowSize->text(), QString::number(before.PanWindowSize));
    QCOMPARE(dialog.CheckBox_ShortCutButton->isChecked(), before.ShortCutButtonFlag);

    // Nothing typed or clicked: OK stores what was there.
    const TAppSettings same = dialog.Stored(before);
    QCOMPARE(same.PanWindowSize, before.PanWindowSize);
    QCOMPARE(same.ColorSpaceSub2, 0x123456);

    dialog.Edit_PanWindowSize->setText(QStringLiteral("250"));
    dialog.Edit_DrawTextSize->setText(QStringLiteral("30"));
    dialog.Edit_DeleteTempLimit->setText(QStringLiteral("7日"));
    dialog.CheckBox_PanWindow->setChecked(!before.PanWindowFlag);
    dialog.CheckBox_ShortCutButton->setChecked(!before.ShortCutButtonFlag);
    dialog.CheckBox_AdjustDraw->setChecked(!before.AdjustDrawFlag);
    dialog.CheckBox_PD25->setChecked(!before.PD25Flag);
    dialog.CheckBox_SpaceNameInput->setChecked(!before.SpaceNameInputFlag);
    QCOMPARE(dialog.Edit_ClickSigma->text(), QStringLiteral("0.5"));
    QCOMPARE(dialog.CheckBox_UncertaintyLabel->isChecked(), false);
    dialog.Edit_ClickSigma->setText(QStringLiteral("1.25"));
    dialog.CheckBox_UncertaintyLabel->setChecked(true);
    // The colour dialog confirmed on the first panel, cancelled on the last.
    std::vector<std::int32_t> offered;
    dialog.chooseColour = [&](std::int32_t current) -> std::optional<std::int32_t> {
        offered.push_back(current);
        if (offered.size() == 1)
            return 0x00FF00;
        return std::nullopt;
    };
    dialog.ColourClicked(0);
    dialog.ColourClicked(13);
    QCOMPARE(offered, (std::vector<std::int32_t>{before.ColorBase, 0x123456}));

    const TAppSettings after = dialog.Stored(before);
    QCOMPARE(after.PanWindowSize, 250);
    QCOMPARE(after.DrawTextSize, 20);
    QCOMPARE(after.DeleteTempLimit, 7);
    QCOMPARE(after.PanWindowFlag, !before.PanWindowFlag);
    QCOMPARE(after.ShortCutButtonFlag, !before.ShortCutButtonFlag);
    QCOMPARE(after.AdjustDrawFlag, !before.AdjustDrawFlag);
    QCOMPARE(after.PD25Flag, !before.PD25Flag);
    QCOMPARE(after.SpaceNameInputFlag, !before.SpaceNameInputFlag);
    QCOMPARE(after.ClickSigma, 1.25);
    QCOMPARE(after.UncertaintyLabelFlag, true);
    QCOMPARE(after.ColorBase, 0x00FF00);
    QCOMPARE(after.ColorSpaceSub2, 0x123456);
    // Folders and the recent photos are not the dialog's to change.
    QCOMPARE(after.ImageFolder, before.ImageFolder);

    // Escape closes without storing: the dialog is rejected.
    QTimer::singleShot(0, &dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Escape); });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
}

QTEST_MAIN(WidgetsTest)
#include "test_widgets.moc"
