#include "SystemSpeedUnitTables.h"

namespace SystemSpeedUnit {

using namespace UnitServicesOptimize;

const std::array<TModel, ModelCount> Models = {
    TModel{"Windows XP Default",
           "Reset to Windows XP default services"},
    TModel{"Office Model",
           "Close a few services based on Windows XP default services, including terminal service, infrared device support, and wireless network support, but still remain Microsoft 'Networks File and Printer Sharing Service', Windows XP integrated firewall, and some compatible services. Besides supporting all functions of home-usage, it also makes system work fine during office and developing circumstance. "},
    TModel{"Notebook Model",
           "Close a few services based on Windows XP default services. Because most of the notebooks are used in office, it additionally opens wireless network and infrared device support based on Office PC Optimization Model. This is the most recommended model for most of notebook users. The system processes take up about 70M after the first installation of this model. "},
    TModel{"Home Model",
           "Close a few services that were infrequently used based on Windows XP default services, including printing service, computer browsing service, network file sharing, terminal service and infrared device support."},
    TModel{"Internet Café Model",
           "According to the requirement of Internet Café, close lots of infrequently used services, including printing service, terminal service, infrared device support, wireless network support, windows online update, Windows XP integrated firewall, and so on, but Network File sharing is still remained. This model is suitable for Internet Café users to do some common actions such as browsing website, playing game, playing video file, and processing documents. "},
    TModel{"Campus Model",
           "According to the circumstance of campus network, close some useless services, including printing service, terminal service, infrared device support, and wireless network support, but still remain Windows XP integrated firewall, and Network File sharing. This model is suitable for campus users to do some common actions such as browsing website, playing game, playing video file, sharing documents, and processing documents."},
    TModel{"Customization",
           "Manually modify part of services settings."},
};

const char* const IntroductionText =
    "The System Optimizer utility will automatically optimize all the categories below in their optimal speed with standard optimization options. Click on Fast Optimize button, this utility will automatically optimize your system with the preset settings of the optimization model that you can choose below, or you can customize the settings by clicking on Next button.";

const std::array<TServiceBox, ServiceBoxCount> ServiceBoxes = {{
    {"Enalbe Event Viewer", "Eventlog", EnableEventlog, DisableEventlog,
     "Enables event log messages issued by Windows-based programs and components to be viewed inEvent Viewer. This service cannot be stopped."},
    {"Enable infrared device support", "Irmon", EnableIrmon, DisableIrmon,
     "Support the infrared device on this computer and examine the infrared port."},
    {"Enable remote registry operation service", "RemoteRegistry", EnableRemoteRegistry, DisableRemoteRegistry,
     "Enables remote users to modify registry settings on this computer. If this service isstopped, the registry can be modified only by users on this computer. If this service isdisabled, any services that explicitly depend on it will fail to start."},
    {"Enable printer support", "Spooler", EnableSpooler, DisableSpooler,
     "Loads files to memory for later printing."},
    {"Open wireless network support function", "WZCSVC", EnableWZCSVC, DisableWZCSVC,
     "Provides automatic configuration for the 802.11 adapters"},
    {"Enable My Network Place browsing service", "Browser", EnableBrowser, DisableBrowser,
     "Maintains an updated list of computers on the network and supplies this list to computers designated as browsers. If this service is stopped, this list will not be updated or maintained. If this service is disabled, any services that explicitly depend on it will fail to start."},
    {"Enable Windows XP integrated firewall", "ALG", EnableALG, DisableALG,
     "Provides support for 3rd party protocol plug-ins for Internet Connection Sharing and the Windows Firewall."},
    {"Enable Windows XP writable function", "ImapiService", EnableImapiService, DisableImapiService,
     "Manages CD recording using Image Mastering Applications Programming Interface (IMAPI). Ifthis service is stopped, this computer will be unable to record CDs. If this service is disabled, any services that explicitly depend on it will fail to start."},
    {"Enable automatic update function", "wuauserv", EnableWuauserv, DisableWuauserv,
     "Enables the download and installation of Windows updates. If this service is disabled, this computer will not be able to use the Automatic Updates feature or the Windows Update Web site."},
    {"Enable system restoration function", "srservice", EnableSrservice, DisableSrservice,
     "Performs system restore functions. To stop service, turn off System Restore from the System Restore tab in My Computer->Properties"},
    {"Enable notification for AutoPlay hardware events", "ShellHWDetection", EnableShellHWDetection, DisableShellHWDetection,
     "Provides notifications for AutoPlay hardware events."},
    {"Enable remote assistance and terminal", "mnmsrvc", EnableMnmsrvc, DisableMnmsrvc,
     "Enables Windows-based programs to create, access, and modify Internet-based files. If this service is stopped, these functions will not be available. If this service is disabled, any services that explicitly depend on it will fail to start."},
    {"Enable UPS management service", "UPS", EnableUPS, DisableUPS,
     "Manages an uninterruptible power supply (UPS) connected to the computer."},
    {"Enable help and support service", "helpsvc", EnableHelpsvc, DisableHelpsvc,
     "Enables Help and Support Center to run on this computer. If this service is stopped, Help and Support Center will be unavailable. If this service is disabled, any services that explicitly depend on it will fail to start."},
    {"Enable secure center management function", "wscsvc", EnableWscsvc, DisableWscsvc,
     "Monitors system security settings and configurations."},
    {"Enable UPNP device detection", "SSDPSRV", EnableSSDPSRV, DisableSSDPSRV,
     "Enables discovery of UPnP devices on your home network."},
    {"Enable Time Synchronizing service", "W32Time", EnableW32Time, DisableW32Time,
     "Maintains date and time synchronization on all clients and servers in the network. If thisservice is stopped, date and time synchronization will be unavailable. If this service isdisabled, any services that explicitly depend on it will fail to start."},
    {"Enable multi-users connect and operate one computer", "TermService", EnableTermService, DisableTermService,
     "Allows multiple users to be connected interactively to a machine as well as the display of desktops and applications to remote computers. The underpinning of Remote Desktop (including RD for Administrators), Fast User Switching, Remote Assistance, and Terminal Server."},
    {"Enable registering for remote computer and refresh IP address function", "WinDHCPsvc", EnableWinDHCPsvc, DisableWinDHCPsvc,
     "Register for remote computer and refresh IP address."},
    {"Enable Desktop management experience", "Themes", EnableThemes, DisableThemes,
     "Provides user experience theme management."},
    {"Enable tracing system event", "SENS", EnableSENS, DisableSENS,
     "Tracks system events such as Windows logon, network, and power events.  Notifies COM+ Event System subscribers of these events."},
    {"Enable messenger service", "Messenger", EnableMessenger, DisableMessenger,
     "Transmits net send and Alerter service messages between clients and servers. This service is not related to Windows Messenger. If this service is stopped, Alerter messages will not be transmitted. If this service is disabled, any services that explicitly depend on it will fail to start."},
}};

const std::array<TTweakBox, TweakBoxCount> TweakBoxes = {{
    {"Best Vision Effect", 18,
     "In default settings, Windows XP opens all visual effect options to enhance visual effect. These visual effects would be fatal to reduce system performance, especially in low configuration computers. The temporary deadlock phenomenon when open programs is always caused by this issue. You could change these visual effect options from Visual Effect Bar. "},
    {"Optimize Menu Display", 5,
     "Optimization of Start Menu is able to accelerate all menus’ speed. "},
    {"Disable Recent File", 19,
     "Disable the recently opened files to be list in application menu"},
    {"Close Customized Menu", 20,
     "Windows XP will automatically move the recently used menus to the top of Start Menu, and hide recently unused menus, in order to realize customized menu for user. If you would like to ban this trig of Windows XP, you could close it from settings. "},
    {"Remove Shortcut Arrow", 13,
     "Remove the arrow from desktop shortcut icon. When you installed some software, corresponding desktop shortcut icons are always created on desktop to make start software more convenient, but the black arrow makes the whole desktop look ugly.  "},
    {"Multi-page in START", 21,
     "When program contains too many menus, one page is not enough to display them. This function is able to display menus on multi-pages."},
    {"Enable Hardware Optimization", 22,
     "Enable CPU secondary cache, and accelerate core system processes speed"},
    {"Auto Release .DLL", 10,
     "Too many applications would reduce system resource. Even after you close some applications, some junk .dll files are still existed in memory, causing system run slowly. "},
    {"Manage the Windows Prefetcher Service", 9,
     "Adjust the allocation of memory usage, boosting system running"},
    {"Optimize NTFS Volume", 23,
     "Optimize NTFS file system's performance, boosting visit speed of disk and file"},
    {"Auto Optimize Disk", 7,
     "Automatically optimize hard disk when system is idle."},
    {"Automatic Boot Disk Optimization", 8,
     "Disable disk defragmentation when Windows starts up, boosting Windows start up speed"},
    {"Disable Default Share", 16,   // no item of its own: the board and memory item, as "System Board and Memory Optimizations"
     "To prevent virus invade network, we must strictly manage the input device of computer, so it is necessary to forbid visiting floppy disk from network"},
    {"Disable Net Access To Floppy", 25,
     ""},
    {"Optimize Net Cache Speed", 3,
     "Accelerate browsing and download speed through network virtual memory. "},
    {"IE Multi-thread Download", 24,
     "The best thread number of IE maximal synchronous downloads is between 5 and 8. This function is mainly used to fix IE multi-thread download issue."},
    {"Optimize ADSL/Cable parameter", 14,
     "In default settings, NT send data to remote host by Maximum Transmission Unit (size about 576B). If the router that data pass by is unable to process such size of data package, it is common to divide the data package into several fragments to continue transfer, and this method always causes some data transfer problems, such as reducing TCP transfer performance and network jam. To deal with this issue, it is acceptable to modify registry, forcing NT search all connections for each connection’s maximal size of MTU. By confining TCP data package size under the MTU size of one connection, the number of fragments of data package in this connection would be reduced obviously. "},
    {"Enhance Modem Performance", 26,
     "Accelerate browsing and download speed through network virtual memory."},
    {"Close Mini-map Memory", 29,
     "Windows XP/2003 has the function of viewing pictures by thumbnails model, making user sketchily view the all pictures in one glance. In default settings, system stores these displayed thumbnail pictures in memory and disk, in order to enhance the display speed of next time view. But this setting will take up some memory spaces, and slow system in some aspects. Users could disable this setting if they don’t need it."},
    {"Unresponsive Program", 6,
     ""},
    {"Quit Without Auto Saving", 27,
     "Configure settings that make system exit without saving opened windows’ location and size, but still remain the position order of desktop icon and Start Menu. "},
    {"Hide Shared Documents", 28,
     "Hide the shared documents in Windows XP computer. "},
    {"Accelerate Start Speed", 1,
     "Windows XP pre-read memory setting could speed up system running and Windows start up. "},
    {"Accelerate Turn Off Speed", 2,
     "Reduce the time of PC close process."},
    {"Optimize AVI Media Files", 17,
     "Optimize AVI media file, smoothing the media playing process."},
    {"Fix Problem with Athlon Hanging AGP Programs", 11,
     "Correct the incompatible issue between AGP Video card and Operation System"},
    {"System Board and Memory Optimizations", 16,
     "Enlarg file system memory, boosting applications' running speed"},
}};

namespace {
constexpr TPreset On = TPreset::On, Of = TPreset::Off, Kp = TPreset::Kept;
}  // namespace

// Models:  0 "Windows XP Default" .. 6 "Customization".
const std::array<std::array<TPreset, ModelCount>, ServiceBoxCount> ServicePresets = {{
    {{On, On, On, On, Of, On, Kp}},  // chk1
    {{On, On, On, On, On, On, Kp}},  // chk2
    {{On, Of, Of, On, On, On, Kp}},  // chk3
    {{On, On, On, On, Of, Of, Kp}},  // chk4
    {{On, On, On, On, On, Of, Kp}},  // chk5
    {{On, On, On, On, On, On, Kp}},  // chk6
    {{On, On, On, On, Of, On, Kp}},  // chk7
    {{On, On, On, Of, Of, Of, Kp}},  // chk8
    {{On, On, On, On, Of, Of, Kp}},  // chk9
    {{On, On, On, On, Of, On, Kp}},  // chk10
    {{On, Of, Of, Of, Of, Of, Kp}},  // chk11
    {{On, Of, Of, Of, Of, Of, Kp}},  // chk12
    {{On, Of, Of, Of, Of, Of, Kp}},  // chk13
    {{On, Of, Of, Of, Of, Of, Kp}},  // chk14
    {{On, Of, Of, Of, Of, Of, Kp}},  // chk15
    {{On, On, On, On, Of, Of, Kp}},  // chk16
    {{On, Of, Of, Of, On, Of, Kp}},  // chk17
    {{On, Of, Of, Of, On, Of, Kp}},  // chk18
    {{On, Of, Of, Of, Of, Of, Kp}},  // chk19
    {{On, Of, Of, On, Of, On, Kp}},  // chk20
    {{On, On, On, Of, Of, Of, Kp}},  // chk21
    {{On, On, Of, Of, Of, Of, Kp}},  // chk22
}};

const std::array<std::array<TPreset, ModelCount>, TweakBoxCount> TweakPresets = {{
    {{Kp, On, On, On, On, On, Of}},  // Ochk1
    {{Kp, Of, Of, On, On, On, Of}},  // Ochk2
    {{Kp, Of, Of, Of, Of, Of, Of}},  // Ochk3
    {{Kp, Of, Of, Of, Of, Of, Of}},  // Ochk4
    {{Kp, On, On, On, On, On, Of}},  // Ochk5
    {{Kp, On, On, On, On, On, Of}},  // Ochk6
    {{Kp, Of, On, Of, Of, Of, Of}},  // Ochk7
    {{Kp, On, On, On, On, On, Of}},  // Ochk8
    {{Kp, Of, Of, Of, Of, Of, Of}},  // Ochk9
    {{Kp, Of, Of, Of, Of, Of, Of}},  // Ochk10
    {{Kp, On, On, On, On, On, Of}},  // Ochk11
    {{Kp, Of, Of, Of, Of, Of, Of}},  // Ochk12
    {{Kp, On, On, On, On, On, Of}},  // Ochk13
    {{Kp, On, On, On, On, On, Of}},  // Ochk14
    {{Kp, Of, Of, On, On, On, Of}},  // Ochk15
    {{Kp, Of, Of, On, On, On, Of}},  // Ochk16
    {{Kp, Of, Of, On, On, On, Of}},  // Ochk17
    {{Kp, Of, Of, On, On, On, Of}},  // Ochk18
    {{Kp, On, On, On, On, On, Of}},  // Ochk19
    {{Kp, On, On, On, On, On, Of}},  // Ochk20
    {{Kp, Of, Of, Of, On, On, Of}},  // Ochk21
    {{Kp, Of, Of, Of, Of, Of, Of}},  // Ochk22
    {{Kp, On, On, On, On, On, Of}},  // Ochk23
    {{Kp, On, On, On, On, On, Of}},  // Ochk24
    {{Kp, Of, On, On, On, On, Of}},  // Ochk25
    {{Kp, Of, On, Of, Of, Of, Of}},  // Ochk26
    {{Kp, Of, Of, Of, Of, Of, Of}},  // Ochk27
}};

}  // namespace SystemSpeedUnit
