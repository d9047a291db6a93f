// The window's own texts, in code page 936, shared by every platform's window.
#pragma once

// The controls' initial texts.
constexpr char kCopyCaption[] = "\xB8\xB4\xD6\xC6";  // 复制
// 粘贴至浏览器地址栏访问
constexpr char kHint[] =
    "\xD5\xB3\xCC\xF9\xD6\xC1\xE4\xAF\xC0\xC0\xC6\xF7\xB5\xD8\xD6\xB7\xC0\xB8\xB7\xC3\xCE\xCA";
constexpr char kPlaceholder[] = "\xBB\xF1\xC8\xA1\xD6\xD0...";  // 获取中...

constexpr char kStartupFailureMessage[] =
    "\xCE\xDE\xB7\xA8\xB4\xB4\xBD\xA8\xB4\xB0\xBF\xDA\xA1\xA3";  // 无法创建窗口。
