// The message texts webpause.dll must carry (UTF-8), indexed by string id;
// id 0 is unused.
#pragma once

namespace webpause_texts {

constexpr const char* kEnglish[] = {
    "",
    "Your Web Server is currently running.  In order to complete the Kestrix installation,  we "
    "will shut down the Web Server on this machine.  Do you wish to continue with the "
    "installation?",
    "Invalid OS requires Windows NT, Windows 95 or Windows 98",
    "Unable to terminate the Web Server process on this machine.  In order  to successfully "
    "install all of the necessary files, you need to manually shut down the Web Server on this "
    "machine.",
    "Unable to restart the Web Server for this machine.  After completing the installation of "
    "Kestrix,  you will need to manually restart the Web Server for this machine.",
    "Kestrix",
    "The Servana Service Manager is currently running.  In order to complete the Kestrix "
    "installation,  you will need to shut down the Servana Service Manager on this machine.",
};

constexpr const char* kJapanese[] = {
    "",
    "Web サーバーが動作しています。Kestrix のインストールを完了するには、このマシン上の Web "
    "サーバーをシャットダウンします。インストールを続行しますか？",
    "無効な OS です。Windows NT、Windows 95、または Windows 98 を使用してください。",
    "このマシンでは Web "
    "サーバーの処理を終了できません。必要なファイルをすべてインストールするには、Web "
    "サーバーを手動でシャットダウンする必要があります。",
    "このマシンでは Web サーバーを再起動できません。Kestrix "
    "のインストールを完了してから、Web サーバーを手動で再起動してください。",
    "Kestrix",
    kEnglish[6],
};

}  // namespace webpause_texts
