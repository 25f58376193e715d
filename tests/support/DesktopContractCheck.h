#pragma once

// The desktop contract check every window class passes: created through the desktop
// store's factory against scripted sessions, its published properties compared with
// the contract table, sample values written, saved, restored and read back, and the
// list request of the restored window checked for the restored filters.
//
//     TEST(MyWindow, KeepsTheDesktopContract) {
//         EXPECT_EQ(CheckDesktopContract("TFormSd"), DesktopContractResult::Passed);
//     }
//
// A class the window-factory file does not register yet is Skipped.

#include <QString>

#include <vector>

// Where a restored window's list request carries its restored filters.
enum class DesktopCarrier {
    None,     // the request carries no restored filter
    Lists,    // "filter_acc", "filter_bum" and the codes, from the published lists
    Fltr,     // "fltr" starts with SQLFilter
    Fragment, // SQLFilter is a ready fragment of request parameters
};

struct DesktopContractRow {
    const char* ClassName;
    // The contract properties beyond Top, Left, Height, Width and Caption.
    std::vector<const char*> Properties;
    DesktopCarrier Carrier;
};

// The contract table: every window class a desktop may hold, in registration order.
const std::vector<DesktopContractRow>& DesktopContractTable();

enum class DesktopContractResult { Passed, Skipped };

// Runs the check for one class; faults are reported as test failures. The class
// must be in the table.
DesktopContractResult CheckDesktopContract(const QString& className);
