#include "autostart/autostart_win32.h"

#include "autostart/autostart.h"
#include "autostart/path_trust_win32.h"
#include "platform/com_ptr.h"

namespace Vel::AutoStart::UAC {

using platform::Bstr;
using platform::ComPtr;
using platform::Variant;

namespace {

using TaskSchedApi::ILogonTrigger;

#define QV_CHECK(call)           \
  do {                           \
    const HRESULT hr_ = (call);  \
    if (FAILED(hr_)) return hr_; \
  } while (0)

HRESULT Allocated(const Bstr& text) { return text.Get() ? S_OK : E_OUTOFMEMORY; }

HRESULT RootFolder(ITaskService* service, ComPtr<ITaskFolder>& root) {
  const Variant none;
  QV_CHECK(service->Connect(none.Get(), none.Get(), none.Get(), none.Get()));
  const Bstr path(L"\\");
  QV_CHECK(Allocated(path));
  QV_CHECK(service->GetFolder(path.Get(), root.Put()));
  return root ? S_OK : E_POINTER;
}

// Only the visible tasks of the root folder itself, names compared exactly.
HRESULT FindTask(ITaskFolder* root, const std::wstring& name, bool& found, ComPtr<IRegisteredTask>* which = nullptr) {
  found = false;
  ComPtr<IRegisteredTaskCollection> tasks;
  QV_CHECK(root->GetTasks(0, tasks.Put()));
  if (!tasks) return E_POINTER;
  LONG count = 0;
  QV_CHECK(tasks->get_Count(&count));
  for (LONG index = 1; index <= count; ++index) {
    ComPtr<IRegisteredTask> task;
    QV_CHECK(tasks->get_Item(Variant::Int(index).Get(), task.Put()));
    if (!task) return E_POINTER;
    Bstr taskName;
    QV_CHECK(task->get_Name(taskName.Put()));
    if (taskName.Equals(name)) {
      found = true;
      if (which) *which = std::move(task);
      break;
    }
  }
  return S_OK;
}

template <class T>
HRESULT PutText(T* target, HRESULT (STDMETHODCALLTYPE T::*put)(BSTR), const std::wstring& value) {
  const Bstr text(value);
  QV_CHECK(Allocated(text));
  return (target->*put)(text.Get());
}

// The definition is complete before it is registered, so a failure on the way registers nothing.
HRESULT RegisterTask(ITaskService* service, ITaskFolder* root, const std::wstring& name, int delaySeconds,
                     const std::wstring& programPath) {
  ComPtr<ITaskDefinition> definition;
  QV_CHECK(service->NewTask(0, definition.Put()));
  if (!definition) return E_POINTER;

  ComPtr<IPrincipal> principal;
  QV_CHECK(definition->get_Principal(principal.Put()));
  if (!principal) return E_POINTER;
  QV_CHECK(principal->put_RunLevel(TASK_RUNLEVEL_HIGHEST));

  ComPtr<ITriggerCollection> triggers;
  QV_CHECK(definition->get_Triggers(triggers.Put()));
  if (!triggers) return E_POINTER;
  ComPtr<ITrigger> trigger;
  QV_CHECK(triggers->Create(TASK_TRIGGER_LOGON, trigger.Put()));
  if (delaySeconds > 0) {
    ComPtr<ILogonTrigger> logon;
    QV_CHECK(trigger.As(TaskSchedApi::IID_ILogonTrigger, logon));
    QV_CHECK(PutText(logon.Get(), &ILogonTrigger::put_Delay, SecondsToDuration(delaySeconds)));
  }

  ComPtr<IActionCollection> actions;
  QV_CHECK(definition->get_Actions(actions.Put()));
  if (!actions) return E_POINTER;
  ComPtr<IAction> action;
  QV_CHECK(actions->Create(TASK_ACTION_EXEC, action.Put()));
  ComPtr<IExecAction> exec;
  QV_CHECK(action.As(TaskSchedApi::IID_IExecAction, exec));
  QV_CHECK(PutText(exec.Get(), &IExecAction::put_Path, programPath));
  QV_CHECK(PutText(exec.Get(), &IExecAction::put_WorkingDirectory, ProgramFolder(programPath)));
  QV_CHECK(PutText(exec.Get(), &IExecAction::put_Arguments, L"/start"));

  ComPtr<ITaskSettings> settings;
  QV_CHECK(definition->get_Settings(settings.Put()));
  if (!settings) return E_POINTER;
  QV_CHECK(settings->put_StartWhenAvailable(VARIANT_TRUE));
  QV_CHECK(PutText(settings.Get(), &ITaskSettings::put_ExecutionTimeLimit, L"PT0S"));
  ComPtr<IIdleSettings> idle;
  QV_CHECK(settings->get_IdleSettings(idle.Put()));
  if (!idle) return E_POINTER;
  QV_CHECK(idle->put_StopOnIdleEnd(VARIANT_FALSE));
  QV_CHECK(settings->put_DisallowStartIfOnBatteries(VARIANT_FALSE));
  QV_CHECK(settings->put_StopIfGoingOnBatteries(VARIANT_FALSE));

  const Bstr path(name);
  QV_CHECK(Allocated(path));
  const Variant none;
  const Variant noSecurity = Variant::Text(L"");
  if (noSecurity.Get().vt != VT_BSTR) return E_OUTOFMEMORY;
  ComPtr<IRegisteredTask> registered;
  return root->RegisterTaskDefinition(path.Get(), definition.Get(), TASK_CREATE_OR_UPDATE, none.Get(), none.Get(),
                                      TASK_LOGON_INTERACTIVE_TOKEN, noSecurity.Get(), registered.Put());
}

HRESULT DeleteTask(ITaskFolder* root, const std::wstring& name) {
  bool found = false;
  QV_CHECK(FindTask(root, name, found));
  if (!found) return S_OK;
  const Bstr path(name);
  QV_CHECK(Allocated(path));
  return root->DeleteTask(path.Get(), 0);
}

// Whether the task's first action starts ProgramPath (compared as Windows compares paths).
HRESULT StartsProgram(IRegisteredTask* task, const std::wstring& programPath, bool& starts) {
  starts = false;
  ComPtr<ITaskDefinition> definition;
  QV_CHECK(task->get_Definition(definition.Put()));
  if (!definition) return E_POINTER;
  ComPtr<IActionCollection> actions;
  QV_CHECK(definition->get_Actions(actions.Put()));
  if (!actions) return E_POINTER;
  ComPtr<IAction> action;
  QV_CHECK(actions->get_Item(1, action.Put()));
  ComPtr<IExecAction> exec;
  QV_CHECK(action.As(TaskSchedApi::IID_IExecAction, exec));
  Bstr path;
  QV_CHECK(exec->get_Path(path.Put()));
  const UINT length = path.Get() ? SysStringLen(path.Get()) : 0;
  starts = !programPath.empty() && CompareStringOrdinal(path.Get(), int(length), programPath.c_str(),
                                                        int(programPath.size()), TRUE) == CSTR_EQUAL;
  return S_OK;
}

HRESULT DeleteTaskOf(ITaskFolder* root, const std::wstring& name, const std::wstring& programPath) {
  bool found = false, ours = false;
  ComPtr<IRegisteredTask> task;
  QV_CHECK(FindTask(root, name, found, &task));
  if (!found || !task) return S_OK;
  // A task that starts another copy (the installed one) is that copy's, and stays.
  QV_CHECK(StartsProgram(task.Get(), programPath, ours));
  if (!ours) return S_OK;
  const Bstr path(name);
  QV_CHECK(Allocated(path));
  return root->DeleteTask(path.Get(), 0);
}

HRESULT ApplyAutoStart(ITaskService* service, const std::wstring& name, bool enabled, int delaySeconds,
                       const std::wstring& programPath) {
  ComPtr<ITaskFolder> root;
  QV_CHECK(RootFolder(service, root));
  return enabled ? RegisterTask(service, root.Get(), name, delaySeconds, programPath) : DeleteTask(root.Get(), name);
}

// Asked before every operation; once the process's COM security is set, by us or anyone,
// the answer is RPC_E_TOO_LATE and the settings in force stay.
bool RequestComSecurity() noexcept {
  const HRESULT hr = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT,
                                          RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
  return SUCCEEDED(hr) || hr == RPC_E_TOO_LATE;
}

HRESULT CreateTaskService(ComPtr<ITaskService>& service) {
  ComPtr<IUnknown> unknown;
  QV_CHECK(CoCreateInstance(TaskSchedApi::CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                            __uuidof(IUnknown), unknown.PutVoid()));
  return unknown.As(TaskSchedApi::IID_ITaskService, service);
}

// The module's own file; empty when it cannot be had whole (a cut-off path would start
// something else at logon).
std::wstring OwnProgramPath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

bool IsAutoStartTask(ITaskService* Service, const std::wstring& TaskName) noexcept {
  try {
    if (!Service) return false;
    ComPtr<ITaskFolder> root;
    bool found = false;
    return SUCCEEDED(RootFolder(Service, root)) && SUCCEEDED(FindTask(root.Get(), TaskName, found)) && found;
  } catch (...) {
    return false;
  }
}

void SetAutoStartTask(ITaskService* Service, const std::wstring& TaskName, bool Enabled, int DelaySeconds,
                      const std::wstring& ProgramPath) noexcept {
  try {
    if (Service) ApplyAutoStart(Service, TaskName, Enabled, DelaySeconds, ProgramPath);
  } catch (...) {
  }
}

void RemoveAutoStartTaskOf(ITaskService* Service, const std::wstring& TaskName, const std::wstring& ProgramPath) noexcept {
  try {
    ComPtr<ITaskFolder> root;
    if (Service && SUCCEEDED(RootFolder(Service, root))) DeleteTaskOf(root.Get(), TaskName, ProgramPath);
  } catch (...) {
  }
}

void RemoveAutoStartTaskOf(const std::wstring& TaskName) {
  try {
    if (!RequestComSecurity()) return;
    const std::wstring path = OwnProgramPath();
    ComPtr<ITaskService> service;
    if (path.empty() || FAILED(CreateTaskService(service))) return;
    RemoveAutoStartTaskOf(service.Get(), TaskName, path);
  } catch (...) {
  }
}

bool OwnProgramSafeForElevatedTask() {
  if (const std::optional<bool>& verdict = ProgramTrustSeam()) return *verdict;
  const std::wstring path = OwnProgramPath();
  return !path.empty() && ProgramSafeForElevatedTask(path);
}

bool IsAutoStartTask(const std::wstring& TaskName) {
  if (!RequestComSecurity()) return false;
  ComPtr<ITaskService> service;
  if (FAILED(CreateTaskService(service))) return false;
  return IsAutoStartTask(service.Get(), TaskName);
}

EarlyTaskQuery::EarlyTaskQuery(std::wstring TaskName) : name_(std::move(TaskName)) {
  try {
    thread_.Start([this] {
      try {
        if (SUCCEEDED(CoInitialize(nullptr))) {
          exists_ = IsAutoStartTask(name_);
          CoUninitialize();
        }
      } catch (...) {
      }
    });
  } catch (...) {
    // No thread: the answer stays "no task", as when COM fails.
  }
}

EarlyTaskQuery::~EarlyTaskQuery() { thread_.Join(); }

bool EarlyTaskQuery::Exists() {
  thread_.Join();
  return exists_;
}

void SetAutoStartTask(const std::wstring& TaskName, bool Enabled, int DelaySeconds) {
  try {
    if (!RequestComSecurity()) return;
    std::wstring path;
    if (Enabled && (path = OwnProgramPath()).empty()) return;
    ComPtr<ITaskService> service;
    if (FAILED(CreateTaskService(service))) return;
    SetAutoStartTask(service.Get(), TaskName, Enabled, DelaySeconds, path);
  } catch (...) {
  }
}

}  // namespace Vel::AutoStart::UAC

#undef QV_CHECK
