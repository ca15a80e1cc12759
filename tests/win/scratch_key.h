// A registry key of the tests' own below the maker's key, removed before and after each test;
// the maker's key itself goes too unless it was there before.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

namespace scratch {

inline constexpr wchar_t kParent[] = L"Software\\Vantorel";
inline constexpr wchar_t kTestKey[] = L"Software\\Vantorel\\QuorvaneTest";

inline bool KeyExists(const wchar_t* subKey) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

class ScratchKeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    parentExisted_ = KeyExists(kParent);
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
    RegDeleteKeyW(HKEY_CURRENT_USER, kTestKey);
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
    RegDeleteKeyW(HKEY_CURRENT_USER, kTestKey);
    if (!parentExisted_) RegDeleteKeyW(HKEY_CURRENT_USER, kParent);
    EXPECT_FALSE(KeyExists(kTestKey));
  }

 private:
  bool parentExisted_ = false;
};

}  // namespace scratch
