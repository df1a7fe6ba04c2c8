// A gtest fixture for runInstall: a fresh test folder with "Programs" and
// "Desktop" as the two existing destinations, default chains, no uninstall key,
// an owner window, and every message box caught.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "install_fixture.h"
#include "message_catcher.h"

// What a message box must show.
struct ExpectedMessage {
    const char* caption;
    const char* text;
};

extern const ExpectedMessage copyFailedMessage;

class InstallTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string pagesFolder() const { return programs + "\\Corvalin"; }
    std::string iconFolder() const { return desktop + "\\Tolm"; }
    std::string linkPath() const { return iconFolder() + "\\The Tolm Language.lnk"; }

    // Stops catching and checks the boxes shown: texts, captions, error icon, owner.
    void expectMessages(const std::vector<ExpectedMessage>& expected);
    // The exact file set of the variant (or not) in pagesFolder, each equal to its source.
    void expectBookFiles(bool variant);
    // The registration and the shortcut (at link, or linkPath()) of a completed install.
    void expectRegisteredWithShortcut(const std::string& link = "");
    // No installed file, created folder, key or shortcut is left.
    void expectNothingLeft();
    // What an earlier install of the plain book or the variant left in
    // pagesFolder(), iconFolder() and the key, each file with contents of its
    // own (or the book's bytes, which its removal takes for the book's),
    // beside a file of the user's and a key value the install never writes.
    void writeEarlierInstall(bool variant, bool booksBytes = false);

    std::string root;
    std::string programs;
    std::string desktop;
    HWND owner = nullptr;
};
