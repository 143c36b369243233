// The uninstall wording of tearhook.dll's string tables, as the user must
// see it (UTF-8; the double blanks belong to the texts).
#pragma once

namespace tearhook_test {

constexpr int kTextCount = 6;

constexpr const char* kEnglishTexts[kTextCount + 1] = {
    nullptr,
    "Your Web Server is currently running.  In order to complete the Kestrix uninstall,  we will shut down the Web Server on this machine. You must restart your Web Server after the uninstall has been completed.  Do you wish to continue with the uninstall?",
    "Invalid OS requires Windows NT, Windows 95 or Windows 98",
    "Unable to terminate the Web Server process on this machine.  In order  to successfully uninstall all of the necessary files, you need to manually shut down the Web Server on this machine.",
    "Unable to restart the Web Server for this machine.  After completing the uninstall of Kestrix,  you will need to manually restart the Web Server for this machine.",
    "Kestrix Uninstall",
    "The Servana Service Manager is currently running.  In order to complete the Kestrix uninstall,  you will need to shut down the Servana Service Manager on this machine.",
};

constexpr const char* kJapaneseTexts[kTextCount + 1] = {
    nullptr,
    "Web サーバーが動作しています。Kestrix のアンインストールを完了するには、このマシン上の Web サーバーをシャットダウンします。アンインストールが完了してから Web サーバーを再起動してください。アンインストールを続行しますか？",
    "無効な OS です。Windows NT、Windows 95、または Windows 98 を使用してください。",
    "このマシンでは Web サーバーの処理を終了できません。必要なファイルをすべてアンインストールするには、Web サーバーを手動でシャットダウンする必要があります。",
    "このマシンでは Web サーバーを再起動できません。Kestrix のアンインストールを完了してから Web サーバーを手動で再起動してください。",
    "Kestrix のアンインストール",
    "The Servana Service Manager is currently running.  In order to complete the Kestrix uninstall,  you will need to shut down the Servana Service Manager on this machine.",
};

}  // namespace tearhook_test
