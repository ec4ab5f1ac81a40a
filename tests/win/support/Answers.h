// The message boxes of the setup manager, answered as a person would.
#pragma once

#include <gtest/gtest.h>

#include "SetupRun.h"
#include "UiRobot.h"

inline const wchar_t kAppTitle[] = L"Orbina 자동 인스톨러";
inline const wchar_t kAbnormalStartText[] = L"설치프로그램이 비정상적인 방법으로 실행되었습니다.";
inline const wchar_t kManifestFailedText[] = L"서버에서 설정 파일을 받아오지 못했습니다.";

// Waits for the process's message box, checks its title and text and presses OK.
inline void ExpectMessageBoxAndPressOk(const CSetupRun& run, const wchar_t* text) {
  const robot::ShownDialog box = robot::WaitForDialog(run.Pid());
  ASSERT_NE(box.hwnd, nullptr);
  EXPECT_EQ(box.title, kAppTitle);
  EXPECT_EQ(box.text, text);
  robot::PressButton(box.hwnd, IDOK);
}

// Text in the ANSI code page the program sees (949 under the harness).
inline std::string ToAnsi(const std::wstring& text) {
  const int size = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size > 0 ? size : 1), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &bytes[0], size, nullptr, nullptr);
  bytes.resize(bytes.size() - 1);
  return bytes;
}
