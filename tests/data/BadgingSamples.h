// Badging reports in the form aapt prints them, as the UTF-8 bytes aapt
// writes (tests convert them with Utf8ToAnsi, as the tool runner does).
#pragma once

// Current aapt on a TV app with an adaptive icon (most of its ~85 localised
// labels left out): permissions in the "name=" forms, raster icons per density.
static const char CURRENT_BADGING_REPORT[] = u8R"REPORT(package: name='com.example.tvplayer' versionCode='30415' versionName='3.4.15' platformBuildVersionName='13' platformBuildVersionCode='33' compileSdkVersion='33' compileSdkVersionCodename='13'
sdkVersion:'17'
targetSdkVersion:'33'
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
application-label:'TV Player'
application-label-de:'TV-Player'
application-label-ja:'テレビプレーヤー'
application-label-zh-CN:'电视播放器'
application-label-zh-TW:'電視播放器'
application-icon-160:'res/mipmap-mdpi-v4/ic_launcher.png'
application-icon-240:'res/mipmap-hdpi-v4/ic_launcher.png'
application-icon-320:'res/mipmap-xhdpi-v4/ic_launcher.png'
application-icon-480:'res/mipmap-xxhdpi-v4/ic_launcher.png'
application-icon-640:'res/mipmap-xxxhdpi-v4/ic_launcher.png'
application-icon-65534:'res/mipmap-anydpi-v26/ic_launcher.xml'
application: label='TV Player' icon='res/mipmap-anydpi-v26/ic_launcher.xml' banner='res/drawable-xhdpi-v4/banner.png'
launchable-activity: name='com.example.tvplayer.ui.MainActivity'  label='' icon=''
leanback-launchable-activity: name='com.example.tvplayer.ui.MainActivity'  label='' icon='' banner=''
uses-library-not-required:'org.apache.http.legacy'
feature-group: label=''
  uses-feature-not-required: name='android.hardware.touchscreen'
  uses-feature-not-required: name='android.software.leanback'
  uses-gl-es:'0x20000'
  uses-feature: name='android.hardware.faketouch'
  uses-implied-feature: name='android.hardware.faketouch' reason='default feature for all apps'
  uses-feature: name='android.hardware.wifi'
  uses-implied-feature: name='android.hardware.wifi' reason='requested android.permission.ACCESS_WIFI_STATE permission'
uses-implied-permission: name='android.permission.READ_EXTERNAL_STORAGE' reason='requested WRITE_EXTERNAL_STORAGE'
main
other-activities
other-receivers
other-services
supports-screens: 'small' 'normal' 'large' 'xlarge'
supports-any-density: 'true'
locales: '--_--' 'de' 'ja' 'zh-CN' 'zh-TW'
densities: '160' '240' '320' '480' '640' '65534'
native-code: 'arm64-v8a' 'armeabi-v7a' 'x86' 'x86_64'
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
uses-feature:'android.hardware.touchscreen'
main
supports-screens: 'small' 'normal' 'large'
locales: '--_--'
densities: '160')REPORT";
