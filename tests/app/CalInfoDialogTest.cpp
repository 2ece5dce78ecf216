#include "CalInfoDialog.h"
#include "ModalRun.h"
#include "Resource.h"
#include "Tamrix.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <string>

namespace
{

QLineEdit* Field(const CCalInfoDialog& dialog, int id)
{
    return dialog.GetDlgItemAs<QLineEdit>(id);
}

// Replaces the field's text as a user does: select all, type.
void TypeInto(QLineEdit* field, const QString& text)
{
    field->setFocus(Qt::TabFocusReason);
    field->selectAll();
    QTest::keyClicks(field, text);
}

TEST(CalInfoDialog, TakesNoMoreCharactersThanTheDataSetHolds)
{
    CCalInfoDialog dialog;
    const QString tooLong = QString(QStringLiteral("\u00C4bcdefghij")).repeated(4);
    ASSERT_GT(tooLong.size(), maxInfoStringLength);
    const int result = RunModal<CCalInfoDialog>(dialog, [&tooLong](CCalInfoDialog& open) {
        TypeInto(Field(open, IDC_CAL_LAB), tooLong);
        TypeInto(Field(open, IDC_CAL_ENG), tooLong);
        ClickControl(open, IDOK);
    });
    ASSERT_EQ(result, IDOK);
    const std::string kept = tooLong.left(maxInfoStringLength).toStdString();
    EXPECT_EQ(dialog.GetLab(), kept);
    EXPECT_EQ(dialog.GetEng(), kept);
}

// A longer text can come only from a settings file edited by hand; the stamp
// would refuse it. It shows cut, and only OK keeps the cut.
TEST(CalInfoDialog, ShowsALongerTextCutToTheLimit)
{
    const std::string given(40, 'L');
    for (const int end : {IDOK, IDCANCEL})
    {
        CCalInfoDialog dialog;
        dialog.SetLab(given);
        dialog.SetEng("Eng");
        QString shown;
        const int result = RunModal<CCalInfoDialog>(dialog, [&shown, end](CCalInfoDialog& open) {
            shown = Field(open, IDC_CAL_LAB)->text();
            ClickControl(open, end);
        });
        ASSERT_EQ(result, end);
        EXPECT_EQ(shown, QString(static_cast<int>(maxInfoStringLength), QLatin1Char('L')));
        EXPECT_EQ(dialog.GetLab(), end == IDOK ? std::string(maxInfoStringLength, 'L') : given);
    }
}

} // namespace
