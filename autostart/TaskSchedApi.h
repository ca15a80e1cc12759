// Task Scheduler 2.0 declarations that mingw-w64 lacks. Its <taskschd.h> has the interfaces
// we use except ILogonTrigger, and no library of it defines the identifiers, so all the ones we
// pass are spelled out here.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <taskschd.h>

namespace TaskSchedApi {

inline constexpr CLSID CLSID_TaskScheduler = {
    0x0f87369f, 0xa4e5, 0x4cfc, {0xbd, 0x3e, 0x73, 0xe6, 0x15, 0x45, 0x72, 0xdd}};
inline constexpr IID IID_ITaskService = {
    0x2faba4c7, 0x4da9, 0x4013, {0x96, 0x97, 0x20, 0xcc, 0x3f, 0xd4, 0x0f, 0x85}};
inline constexpr IID IID_ITrigger = {
    0x09941815, 0xea89, 0x4b5b, {0x89, 0xe0, 0x2a, 0x77, 0x38, 0x01, 0xfa, 0xc3}};
inline constexpr IID IID_ILogonTrigger = {
    0x72dade38, 0xfae4, 0x4b3e, {0xba, 0xf4, 0x5d, 0x00, 0x9a, 0xf0, 0x2b, 0x1c}};
inline constexpr IID IID_IAction = {
    0xbae54997, 0x48b1, 0x4cbe, {0x99, 0x65, 0xd6, 0xbe, 0x26, 0x3e, 0xbe, 0xa4}};
inline constexpr IID IID_IExecAction = {
    0x4c3d624d, 0xfd6b, 0x49a3, {0xb9, 0xb7, 0x09, 0xcb, 0x3c, 0xd3, 0xf0, 0x47}};

// ITrigger's thirteen methods, then the logon trigger's own four.
struct ILogonTrigger : public ITrigger {
  virtual HRESULT STDMETHODCALLTYPE get_Delay(BSTR* delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Delay(BSTR delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UserId(BSTR* user) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_UserId(BSTR user) = 0;
};

}  // namespace TaskSchedApi
