#pragma once
// Keys of the plug-in property list through which a host discovers a module.
#include "sdk/types.h"

namespace icofmt::sdk::pipl {

constexpr OSType kVendor = fourCC("8BIM");
constexpr OSType kKind = fourCC("kind");
constexpr OSType kFormatKind = fourCC("8BIF");
constexpr OSType kVersion = fourCC("vers");
constexpr OSType kName = fourCC("name");
constexpr OSType kCodeWin32X86 = fourCC("wx86");
constexpr OSType kCodeWin64X86 = fourCC("8664");
constexpr OSType kSupportedModes = fourCC("mode");
constexpr OSType kReadExtensions = fourCC("RdEx");
constexpr OSType kWriteExtensions = fourCC("WrEx");
constexpr OSType kFormatFlags = fourCC("fmtf");
constexpr OSType kFormatMaxSize = fourCC("mxsz");
constexpr OSType kFormatMaxChannels = fourCC("mxch");

constexpr int kResourceId = 16000;

// 'fmtf' flag bits of the first data byte.
constexpr unsigned char kFlagCanRead = 0x20;
constexpr unsigned char kFlagCanWrite = 0x10;
constexpr unsigned char kFlagCanWriteTransparency = 0x04;

// 'mode' flag bits of the first data byte.
constexpr unsigned char kModeBitmap = 0x80;
constexpr unsigned char kModeGrayScale = 0x40;
constexpr unsigned char kModeIndexedColor = 0x20;
constexpr unsigned char kModeRGBColor = 0x10;

}  // namespace icofmt::sdk::pipl
