#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "autostart/autostart.h"

using Vel::AutoStart::UAC::ProgramFolder;
using Vel::AutoStart::UAC::SecondsToDuration;

TEST(SecondsToDuration, MinutesAndSecondsWithoutHours) {
  const struct {
    int seconds;
    const wchar_t* text;
  } cases[] = {
      {1, L"PT1S"},          {45, L"PT45S"},        {59, L"PT59S"},
      {60, L"PT1M"},         {61, L"PT1M1S"},       {90, L"PT1M30S"},
      {3600, L"PT60M"},      {3601, L"PT60M1S"},    {86400, L"PT1440M"},
      {INT_MAX, L"PT35791394M7S"},
  };
  for (const auto& c : cases) EXPECT_EQ(SecondsToDuration(c.seconds), c.text) << c.seconds;
}

TEST(SecondsToDuration, NothingPositiveIsZeroSeconds) {
  for (int seconds : {0, -1, -60, -90, INT_MIN}) EXPECT_EQ(SecondsToDuration(seconds), L"PT0S") << seconds;
}

TEST(ProgramFolder, UpToAndIncludingTheLastBackslash) {
  const struct {
    const wchar_t* path;
    const wchar_t* folder;
  } cases[] = {
      {L"D:\\Apps\\Tool\\program.exe", L"D:\\Apps\\Tool\\"},
      {L"C:\\Quorvane.exe", L"C:\\"},
      {L"\\\\server\\share\\dir\\Quorvane.exe", L"\\\\server\\share\\dir\\"},
      {L"\\\\?\\C:\\a b\\Quorvane.exe", L"\\\\?\\C:\\a b\\"},
      {L"Quorvane.exe", L""},
      {L"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(ProgramFolder(c.path), c.folder);
}
