#pragma once

#include "TestDb.h"
#include "app/Mian.h"
#include "lock/Fr_wel.h"
#include "lock/PasswordEdit.h"
#include "lock/Set_mima.h"
#include "platform/Dialogs.h"
#include "portfolio/Fr_guanli.h"
#include "web/Fr_gongju.h"
#include "web/Fr_jiaoyi.h"

#include <QGroupBox>
#include <QPushButton>
#include <QtTest>
#include <memory>

// The real main window with its panels and the password dialog on a fresh database.
struct LockWindow
{
    TestDb db;
    std::unique_ptr<Tmian> mian;
    Tset_mima* mima = nullptr;

    LockWindow()
    {
        mian = std::make_unique<Tmian>();
        mima = new Tset_mima(mian.get());
        mima->bindData(db.module());
        mian->bindData(db.module());
        mian->setDialogs(nullptr, nullptr, mima, nullptr, nullptr, nullptr);
    }

    // Writes the settings row straight into the file and reloads the settings query.
    bool setSettings(const QString& ub1, const QString& ub2, const QString& ub4)
    {
        const QString error = db.exec(
            QStringLiteral("update jz_ub set ub1='%1', ub2='%2', ub4='%3' where ub3='8'").arg(ub1, ub2, ub4));
        return error.isEmpty() && db.module()->Query_jz_ub()->open().ok();
    }

    // The start: the show step, then the window on screen.
    bool start()
    {
        mian->FormShow();
        mian->show();
        return QTest::qWaitForWindowExposed(mian.get());
    }

    TFr_wel* wel() const { return mian->Fr_wel1(); }
    PasswordEdit* passEdit() const { return wel()->Pass_edit(); }
    bool lockGroupShown() const { return !wel()->lockGroup()->isHidden(); }
    bool navEnabled() const { return mian->isNavigationEnabled(); }
    bool welcomeShown() const
    {
        return !mian->Fr_wel1()->isHidden() && mian->Fr_guanli1()->isHidden() &&
               mian->Fr_jiaoyi1()->isHidden() && mian->Fr_gongju1()->isHidden();
    }
    bool portfolioShown() const
    {
        return mian->Fr_wel1()->isHidden() && !mian->Fr_guanli1()->isHidden() &&
               mian->Fr_jiaoyi1()->isHidden() && mian->Fr_gongju1()->isHidden();
    }
    // Locked: lock group shown and navigation bar disabled, on the welcome panel.
    bool locked() const { return welcomeShown() && lockGroupShown() && !navEnabled(); }

    // Types the password into the lock group and presses the unlock button.
    void unlockWith(const QString& password)
    {
        passEdit()->setText(password);
        wel()->unlockButton()->click();
    }

    // The texts of the message boxes shown since the last call.
    static QStringList messages()
    {
        QStringList texts;
        for (const MessageBox::Shown& s : MessageBox::takeShown())
            texts.append(s.text);
        return texts;
    }
};
