// Badging reports in the form aapt prints them, as the UTF-8 bytes aapt
// writes (tests convert them with Utf8ToAnsi, as the tool runner does).
#pragma once

// Current aapt on a TV app with an adaptive icon (most of its labels and
// features left out): permissions in the "name=" forms, raster icons per density.
static const char CURRENT_BADGING_REPORT[] = u8R"REPORT(package: name='com.example.tvplayer' versionCode='30415' versionName='3.4.15' platformBuildVersionName='13' platformBuildVersionCode='33' compileSdkVersion='33' compileSdkVersionCodename='13'
sdkVersion:'17'
uses-permission: name='android.permission.INTERNET'
uses-permission: name='android.permission.ACCESS_NETWORK_STATE'
uses-permission: name='android.permission.ACCESS_WIFI_STATE'
uses-permission: name='android.permission.WAKE_LOCK'
uses-permission: name='android.permission.RECEIVE_BOOT_COMPLETED'
uses-permission: name='android.permission.WRITE_EXTERNAL_STORAGE' maxSdkVersion='28'
uses-permission: name='android.permission.READ_EXTERNAL_STORAGE'
uses-permission: name='android.permission.FOREGROUND_SERVICE'
uses-permission: name='com.google.android.c2dm.permission.RECEIVE'
uses-permission: name='android.permission.SYSTEM_ALERT_WINDOW'
uses-permission: name='com.example.tvplayer.DYNAMIC_RECEIVER_NOT_EXPORTED_PERMISSION'
uses-permission: name='android.permission.REQUEST_INSTALL_PACKAGES'
uses-permission-sdk-23: name='android.permission.CHANGE_WIFI_MULTICAST_STATE'
uses-permission: name='android.permission.VIBRATE'
permission: name='com.example.tvplayer.DYNAMIC_RECEIVER_NOT_EXPORTED_PERMISSION'
application-icon-160:'res/mipmap-mdpi-v4/ic_launcher.png'
application-icon-240:'res/mipmap-hdpi-v4/ic_launcher.png'
application-icon-320:'res/mipmap-xhdpi-v4/ic_launcher.png'
application-icon-480:'res/mipmap-xxhdpi-v4/ic_launcher.png'
application-icon-640:'res/mipmap-xxxhdpi-v4/ic_launcher.png'
application-icon-65534:'res/mipmap-anydpi-v26/ic_launcher.xml'
application: label='TV Player' icon='res/mipmap-anydpi-v26/ic_launcher.xml' banner='res/drawable-xhdpi-v4/banner.png'
launchable-activity: name='com.example.tvplayer.ui.MainActivity'  label='' icon=''
  uses-implied-feature: name='android.hardware.wifi' reason='requested android.permission.ACCESS_WIFI_STATE permission'
uses-implied-permission: name='android.permission.READ_EXTERNAL_STORAGE' reason='requested WRITE_EXTERNAL_STORAGE'
)REPORT";

// An old aapt on a small app: the quoted permission form, a permission of the
// package's own, INTERNET named twice, and no line end at the very end.
static const char OLD_BADGING_REPORT[] = u8R"REPORT(package: name='com.a.b' versionCode='3' versionName='1.2'
sdkVersion:'8'
uses-permission:'android.permission.INTERNET'
uses-permission:'android.permission.READ_SMS'
uses-permission:'com.a.b.permission.C2D_MESSAGE'
uses-permission:'android.permission.INTERNET'
application: label='Demo' icon='res/drawable/icon.png'
launchable-activity: name='com.a.b.Main'  label='Demo' icon=''
densities: '160')REPORT";
