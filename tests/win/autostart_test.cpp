// The task operations against a recording task service, and once against Wine's own.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "autostart/autostart.h"
#include "autostart/autostart_win32.h"

namespace {

using TaskSchedApi::ILogonTrigger;
namespace UAC = Vel::AutoStart::UAC;

const std::wstring kTask = L"QuorvaneTaskMachine";
const std::wstring kProgram = L"D:\\Apps\\Tool\\program.exe";

std::wstring Text(BSTR b) { return b ? std::wstring(b, SysStringLen(b)) : L"<null>"; }

std::wstring Describe(const VARIANT& v) {
  switch (v.vt) {
    case VT_EMPTY: return L"EMPTY";
    case VT_I4: return L"I4:" + std::to_wstring(v.lVal);
    case VT_BSTR: return L"BSTR:" + Text(v.bstrVal);
    default: return L"VT" + std::to_wstring(v.vt);
  }
}

std::wstring InterfaceName(REFIID iid) {
  if (iid == __uuidof(IUnknown)) return L"IUnknown";
  if (iid == TaskSchedApi::IID_ILogonTrigger) return L"ILogonTrigger";
  if (iid == TaskSchedApi::IID_IExecAction) return L"IExecAction";
  if (iid == TaskSchedApi::IID_ITaskService) return L"ITaskService";
  return L"other";
}

struct Tracked {
  virtual ~Tracked() = default;
  std::wstring name;
  LONG refs = 0;
};

// Everything the code under test did to the service and the objects it handed out. The objects
// live as long as the world, so a missing or extra Release shows in their counts.
struct World {
  std::vector<std::wstring> log;
  std::map<std::wstring, HRESULT> failures;  // by call, e.g. "Service.Connect"
  std::vector<std::wstring> tasks;           // names in the root folder
  std::wstring taskProgram;                  // what their first action starts
  std::vector<std::unique_ptr<Tracked>> objects;
  Tracked* definition = nullptr;

  HRESULT Call(const std::wstring& call, const std::wstring& args = L"") {
    log.push_back(call + L"(" + args + L")");
    const auto failure = failures.find(call);
    return failure == failures.end() ? S_OK : failure->second;
  }

  template <class T>
  T* Make(const std::wstring& name) {
    auto object = std::make_unique<T>(*this, name);
    T* raw = object.get();
    objects.push_back(std::move(object));
    return raw;
  }

  // Objects still referenced once the operation is over; the test keeps its one on the service.
  std::vector<std::wstring> Leaks(const Tracked* service) const {
    std::vector<std::wstring> leaks;
    for (const auto& object : objects)
      if (object->refs != (object.get() == service ? 1 : 0))
        leaks.push_back(object->name + L":" + std::to_wstring(object->refs));
    return leaks;
  }
};

template <class I>
class FakeObject : public I, public Tracked {
 public:
  FakeObject(World& world, const std::wstring& objectName) : world_(world) { name = objectName; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    const HRESULT hr = world_.Call(name + L".QueryInterface", InterfaceName(iid));
    if (FAILED(hr)) return hr;
    if (!Answers(iid)) return E_NOINTERFACE;
    *out = static_cast<I*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++refs); }
  ULONG STDMETHODCALLTYPE Release() override {
    if (refs == 0) world_.log.push_back(name + L" released once too often");
    return ULONG(--refs);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return Unexpected("GetTypeInfoCount"); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return Unexpected("GetTypeInfo"); }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return Unexpected("GetIDsOfNames");
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return Unexpected("Invoke");
  }

 protected:
  virtual bool Answers(REFIID iid) const { return iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch); }

  HRESULT Unexpected(const char* method) {
    world_.log.push_back(name + L"." + std::wstring(method, method + std::strlen(method)) + L" unexpected");
    return E_NOTIMPL;
  }

  HRESULT Call(const wchar_t* method, const std::wstring& args = L"") { return world_.Call(name + L"." + method, args); }

  template <class T, class Out>
  HRESULT HandOut(HRESULT hr, T* object, Out** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (FAILED(hr)) return hr;
    *out = static_cast<Out*>(object);
    object->AddRef();
    return S_OK;
  }

  World& world_;
};

#define STUB(method, ...) \
  HRESULT STDMETHODCALLTYPE method(__VA_ARGS__) override { return Unexpected(#method); }

struct StubITaskService : FakeObject<ITaskService> {
  using FakeObject::FakeObject;
  STUB(GetFolder, BSTR, ITaskFolder**)
  STUB(GetRunningTasks, LONG, IRunningTaskCollection**)
  STUB(NewTask, DWORD, ITaskDefinition**)
  STUB(Connect, VARIANT, VARIANT, VARIANT, VARIANT)
  STUB(get_Connected, VARIANT_BOOL*)
  STUB(get_TargetServer, BSTR*)
  STUB(get_ConnectedUser, BSTR*)
  STUB(get_ConnectedDomain, BSTR*)
  STUB(get_HighestVersion, DWORD*)
};

struct StubITaskFolder : FakeObject<ITaskFolder> {
  using FakeObject::FakeObject;
  STUB(get_Name, BSTR*)
  STUB(get_Path, BSTR*)
  STUB(GetFolder, BSTR, ITaskFolder**)
  STUB(GetFolders, LONG, ITaskFolderCollection**)
  STUB(CreateFolder, BSTR, VARIANT, ITaskFolder**)
  STUB(DeleteFolder, BSTR, LONG)
  STUB(GetTask, BSTR, IRegisteredTask**)
  STUB(GetTasks, LONG, IRegisteredTaskCollection**)
  STUB(DeleteTask, BSTR, LONG)
  STUB(RegisterTask, BSTR, BSTR, LONG, VARIANT, VARIANT, TASK_LOGON_TYPE, VARIANT, IRegisteredTask**)
  STUB(RegisterTaskDefinition, BSTR, ITaskDefinition*, LONG, VARIANT, VARIANT, TASK_LOGON_TYPE, VARIANT, IRegisteredTask**)
  STUB(GetSecurityDescriptor, LONG, BSTR*)
  STUB(SetSecurityDescriptor, BSTR, LONG)
};

struct StubIRegisteredTaskCollection : FakeObject<IRegisteredTaskCollection> {
  using FakeObject::FakeObject;
  STUB(get_Count, LONG*)
  STUB(get_Item, VARIANT, IRegisteredTask**)
  STUB(get__NewEnum, IUnknown**)
};

struct StubIRegisteredTask : FakeObject<IRegisteredTask> {
  using FakeObject::FakeObject;
  STUB(get_Name, BSTR*)
  STUB(get_Path, BSTR*)
  STUB(get_State, TASK_STATE*)
  STUB(get_Enabled, VARIANT_BOOL*)
  STUB(put_Enabled, VARIANT_BOOL)
  STUB(Run, VARIANT, IRunningTask**)
  STUB(RunEx, VARIANT, LONG, LONG, BSTR, IRunningTask**)
  STUB(GetInstances, LONG, IRunningTaskCollection**)
  STUB(get_LastRunTime, DATE*)
  STUB(get_LastTaskResult, LONG*)
  STUB(get_NumberOfMissedRuns, LONG*)
  STUB(get_NextRunTime, DATE*)
  STUB(get_Definition, ITaskDefinition**)
  STUB(get_Xml, BSTR*)
  STUB(GetSecurityDescriptor, LONG, BSTR*)
  STUB(SetSecurityDescriptor, BSTR, LONG)
  STUB(Stop, LONG)
  STUB(GetRunTimes, const LPSYSTEMTIME, const LPSYSTEMTIME, DWORD*, LPSYSTEMTIME*)
};

struct StubITaskDefinition : FakeObject<ITaskDefinition> {
  using FakeObject::FakeObject;
  STUB(get_RegistrationInfo, IRegistrationInfo**)
  STUB(put_RegistrationInfo, IRegistrationInfo*)
  STUB(get_Triggers, ITriggerCollection**)
  STUB(put_Triggers, ITriggerCollection*)
  STUB(get_Settings, ITaskSettings**)
  STUB(put_Settings, ITaskSettings*)
  STUB(get_Data, BSTR*)
  STUB(put_Data, BSTR)
  STUB(get_Principal, IPrincipal**)
  STUB(put_Principal, IPrincipal*)
  STUB(get_Actions, IActionCollection**)
  STUB(put_Actions, IActionCollection*)
  STUB(get_XmlText, BSTR*)
  STUB(put_XmlText, BSTR)
};

struct StubIPrincipal : FakeObject<IPrincipal> {
  using FakeObject::FakeObject;
  STUB(get_Id, BSTR*)
  STUB(put_Id, BSTR)
  STUB(get_DisplayName, BSTR*)
  STUB(put_DisplayName, BSTR)
  STUB(get_UserId, BSTR*)
  STUB(put_UserId, BSTR)
  STUB(get_LogonType, TASK_LOGON_TYPE*)
  STUB(put_LogonType, TASK_LOGON_TYPE)
  STUB(get_GroupId, BSTR*)
  STUB(put_GroupId, BSTR)
  STUB(get_RunLevel, TASK_RUNLEVEL_TYPE*)
  STUB(put_RunLevel, TASK_RUNLEVEL_TYPE)
};

struct StubITriggerCollection : FakeObject<ITriggerCollection> {
  using FakeObject::FakeObject;
  STUB(get_Count, LONG*)
  STUB(get_Item, LONG, ITrigger**)
  STUB(get__NewEnum, IUnknown**)
  STUB(Create, TASK_TRIGGER_TYPE2, ITrigger**)
  STUB(Remove, VARIANT)
  STUB(Clear, )
};

struct StubILogonTrigger : FakeObject<TaskSchedApi::ILogonTrigger> {
  using FakeObject::FakeObject;
  STUB(get_Type, TASK_TRIGGER_TYPE2*)
  STUB(get_Id, BSTR*)
  STUB(put_Id, BSTR)
  STUB(get_Repetition, IRepetitionPattern**)
  STUB(put_Repetition, IRepetitionPattern*)
  STUB(get_ExecutionTimeLimit, BSTR*)
  STUB(put_ExecutionTimeLimit, BSTR)
  STUB(get_StartBoundary, BSTR*)
  STUB(put_StartBoundary, BSTR)
  STUB(get_EndBoundary, BSTR*)
  STUB(put_EndBoundary, BSTR)
  STUB(get_Enabled, VARIANT_BOOL*)
  STUB(put_Enabled, VARIANT_BOOL)
  STUB(get_Delay, BSTR*)
  STUB(put_Delay, BSTR)
  STUB(get_UserId, BSTR*)
  STUB(put_UserId, BSTR)
};

struct StubIActionCollection : FakeObject<IActionCollection> {
  using FakeObject::FakeObject;
  STUB(get_Count, LONG*)
  STUB(get_Item, LONG, IAction**)
  STUB(get__NewEnum, IUnknown**)
  STUB(get_XmlText, BSTR*)
  STUB(put_XmlText, BSTR)
  STUB(Create, TASK_ACTION_TYPE, IAction**)
  STUB(Remove, VARIANT)
  STUB(Clear, )
  STUB(get_Context, BSTR*)
  STUB(put_Context, BSTR)
};

struct StubIExecAction : FakeObject<IExecAction> {
  using FakeObject::FakeObject;
  STUB(get_Id, BSTR*)
  STUB(put_Id, BSTR)
  STUB(get_Type, TASK_ACTION_TYPE*)
  STUB(get_Path, BSTR*)
  STUB(put_Path, BSTR)
  STUB(get_Arguments, BSTR*)
  STUB(put_Arguments, BSTR)
  STUB(get_WorkingDirectory, BSTR*)
  STUB(put_WorkingDirectory, BSTR)
};

struct StubITaskSettings : FakeObject<ITaskSettings> {
  using FakeObject::FakeObject;
  STUB(get_AllowDemandStart, VARIANT_BOOL*)
  STUB(put_AllowDemandStart, VARIANT_BOOL)
  STUB(get_RestartInterval, BSTR*)
  STUB(put_RestartInterval, BSTR)
  STUB(get_RestartCount, INT*)
  STUB(put_RestartCount, INT)
  STUB(get_MultipleInstances, TASK_INSTANCES_POLICY*)
  STUB(put_MultipleInstances, TASK_INSTANCES_POLICY)
  STUB(get_StopIfGoingOnBatteries, VARIANT_BOOL*)
  STUB(put_StopIfGoingOnBatteries, VARIANT_BOOL)
  STUB(get_DisallowStartIfOnBatteries, VARIANT_BOOL*)
  STUB(put_DisallowStartIfOnBatteries, VARIANT_BOOL)
  STUB(get_AllowHardTerminate, VARIANT_BOOL*)
  STUB(put_AllowHardTerminate, VARIANT_BOOL)
  STUB(get_StartWhenAvailable, VARIANT_BOOL*)
  STUB(put_StartWhenAvailable, VARIANT_BOOL)
  STUB(get_XmlText, BSTR*)
  STUB(put_XmlText, BSTR)
  STUB(get_RunOnlyIfNetworkAvailable, VARIANT_BOOL*)
  STUB(put_RunOnlyIfNetworkAvailable, VARIANT_BOOL)
  STUB(get_ExecutionTimeLimit, BSTR*)
  STUB(put_ExecutionTimeLimit, BSTR)
  STUB(get_Enabled, VARIANT_BOOL*)
  STUB(put_Enabled, VARIANT_BOOL)
  STUB(get_DeleteExpiredTaskAfter, BSTR*)
  STUB(put_DeleteExpiredTaskAfter, BSTR)
  STUB(get_Priority, INT*)
  STUB(put_Priority, INT)
  STUB(get_Compatibility, TASK_COMPATIBILITY*)
  STUB(put_Compatibility, TASK_COMPATIBILITY)
  STUB(get_Hidden, VARIANT_BOOL*)
  STUB(put_Hidden, VARIANT_BOOL)
  STUB(get_IdleSettings, IIdleSettings**)
  STUB(put_IdleSettings, IIdleSettings*)
  STUB(get_RunOnlyIfIdle, VARIANT_BOOL*)
  STUB(put_RunOnlyIfIdle, VARIANT_BOOL)
  STUB(get_WakeToRun, VARIANT_BOOL*)
  STUB(put_WakeToRun, VARIANT_BOOL)
  STUB(get_NetworkSettings, INetworkSettings**)
  STUB(put_NetworkSettings, INetworkSettings*)
};

struct StubIIdleSettings : FakeObject<IIdleSettings> {
  using FakeObject::FakeObject;
  STUB(get_IdleDuration, BSTR*)
  STUB(put_IdleDuration, BSTR)
  STUB(get_WaitTimeout, BSTR*)
  STUB(put_WaitTimeout, BSTR)
  STUB(get_StopOnIdleEnd, VARIANT_BOOL*)
  STUB(put_StopOnIdleEnd, VARIANT_BOOL)
  STUB(get_RestartOnIdle, VARIANT_BOOL*)
  STUB(put_RestartOnIdle, VARIANT_BOOL)
};

#undef STUB

class FakeIdle final : public StubIIdleSettings {
 public:
  using StubIIdleSettings::StubIIdleSettings;
  HRESULT STDMETHODCALLTYPE put_StopOnIdleEnd(VARIANT_BOOL value) override {
    return Call(L"put_StopOnIdleEnd", std::to_wstring(value));
  }
};

class FakeSettings final : public StubITaskSettings {
 public:
  using StubITaskSettings::StubITaskSettings;
  HRESULT STDMETHODCALLTYPE put_StartWhenAvailable(VARIANT_BOOL value) override {
    return Call(L"put_StartWhenAvailable", std::to_wstring(value));
  }
  HRESULT STDMETHODCALLTYPE put_ExecutionTimeLimit(BSTR value) override {
    return Call(L"put_ExecutionTimeLimit", Text(value));
  }
  HRESULT STDMETHODCALLTYPE get_IdleSettings(IIdleSettings** out) override {
    return HandOut(Call(L"get_IdleSettings"), world_.Make<FakeIdle>(L"Idle"), out);
  }
  HRESULT STDMETHODCALLTYPE put_DisallowStartIfOnBatteries(VARIANT_BOOL value) override {
    return Call(L"put_DisallowStartIfOnBatteries", std::to_wstring(value));
  }
  HRESULT STDMETHODCALLTYPE put_StopIfGoingOnBatteries(VARIANT_BOOL value) override {
    return Call(L"put_StopIfGoingOnBatteries", std::to_wstring(value));
  }
};

class FakeExecAction final : public StubIExecAction {
 public:
  using StubIExecAction::StubIExecAction;
  HRESULT STDMETHODCALLTYPE put_Path(BSTR value) override { return Call(L"put_Path", Text(value)); }
  HRESULT STDMETHODCALLTYPE put_WorkingDirectory(BSTR value) override {
    return Call(L"put_WorkingDirectory", Text(value));
  }
  HRESULT STDMETHODCALLTYPE put_Arguments(BSTR value) override { return Call(L"put_Arguments", Text(value)); }
  HRESULT STDMETHODCALLTYPE get_Path(BSTR* out) override {
    const HRESULT hr = Call(L"get_Path");
    if (SUCCEEDED(hr)) *out = SysAllocStringLen(world_.taskProgram.data(), UINT(world_.taskProgram.size()));
    return hr;
  }

 protected:
  bool Answers(REFIID iid) const override {
    return FakeObject::Answers(iid) || iid == TaskSchedApi::IID_IAction || iid == TaskSchedApi::IID_IExecAction;
  }
};

class FakeActions final : public StubIActionCollection {
 public:
  using StubIActionCollection::StubIActionCollection;
  HRESULT STDMETHODCALLTYPE Create(TASK_ACTION_TYPE type, IAction** out) override {
    return HandOut(Call(L"Create", std::to_wstring(type)), world_.Make<FakeExecAction>(L"Action"), out);
  }
  HRESULT STDMETHODCALLTYPE get_Item(LONG index, IAction** out) override {
    return HandOut(Call(L"get_Item", std::to_wstring(index)), world_.Make<FakeExecAction>(L"Action"), out);
  }
};

class FakeTrigger final : public StubILogonTrigger {
 public:
  using StubILogonTrigger::StubILogonTrigger;
  HRESULT STDMETHODCALLTYPE put_Delay(BSTR value) override { return Call(L"put_Delay", Text(value)); }

 protected:
  bool Answers(REFIID iid) const override {
    return FakeObject::Answers(iid) || iid == TaskSchedApi::IID_ITrigger || iid == TaskSchedApi::IID_ILogonTrigger;
  }
};

class FakeTriggers final : public StubITriggerCollection {
 public:
  using StubITriggerCollection::StubITriggerCollection;
  HRESULT STDMETHODCALLTYPE Create(TASK_TRIGGER_TYPE2 type, ITrigger** out) override {
    return HandOut(Call(L"Create", std::to_wstring(type)), world_.Make<FakeTrigger>(L"Trigger"), out);
  }
};

class FakePrincipal final : public StubIPrincipal {
 public:
  using StubIPrincipal::StubIPrincipal;
  HRESULT STDMETHODCALLTYPE put_RunLevel(TASK_RUNLEVEL_TYPE level) override {
    return Call(L"put_RunLevel", std::to_wstring(level));
  }
};

class FakeDefinition final : public StubITaskDefinition {
 public:
  using StubITaskDefinition::StubITaskDefinition;
  HRESULT STDMETHODCALLTYPE get_Principal(IPrincipal** out) override {
    return HandOut(Call(L"get_Principal"), world_.Make<FakePrincipal>(L"Principal"), out);
  }
  HRESULT STDMETHODCALLTYPE get_Triggers(ITriggerCollection** out) override {
    return HandOut(Call(L"get_Triggers"), world_.Make<FakeTriggers>(L"Triggers"), out);
  }
  HRESULT STDMETHODCALLTYPE get_Actions(IActionCollection** out) override {
    return HandOut(Call(L"get_Actions"), world_.Make<FakeActions>(L"Actions"), out);
  }
  HRESULT STDMETHODCALLTYPE get_Settings(ITaskSettings** out) override {
    return HandOut(Call(L"get_Settings"), world_.Make<FakeSettings>(L"Settings"), out);
  }
};

class FakeRegisteredTask final : public StubIRegisteredTask {
 public:
  using StubIRegisteredTask::StubIRegisteredTask;
  std::wstring taskName;
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* out) override {
    const HRESULT hr = Call(L"get_Name");
    if (FAILED(hr)) return hr;
    *out = SysAllocStringLen(taskName.data(), UINT(taskName.size()));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Definition(ITaskDefinition** out) override;
};

HRESULT STDMETHODCALLTYPE FakeRegisteredTask::get_Definition(ITaskDefinition** out) {
  return HandOut(Call(L"get_Definition"), world_.Make<FakeDefinition>(L"Definition"), out);
}

class FakeTasks final : public StubIRegisteredTaskCollection {
 public:
  using StubIRegisteredTaskCollection::StubIRegisteredTaskCollection;
  HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override {
    const HRESULT hr = Call(L"get_Count");
    if (SUCCEEDED(hr)) *count = LONG(world_.tasks.size());
    return hr;
  }
  HRESULT STDMETHODCALLTYPE get_Item(VARIANT index, IRegisteredTask** out) override {
    HRESULT hr = Call(L"get_Item", Describe(index));
    if (SUCCEEDED(hr) && (index.vt != VT_I4 || index.lVal < 1 || index.lVal > LONG(world_.tasks.size())))
      hr = E_INVALIDARG;
    FakeRegisteredTask* task = world_.Make<FakeRegisteredTask>(L"Task");
    if (SUCCEEDED(hr)) task->taskName = world_.tasks[std::size_t(index.lVal - 1)];
    return HandOut(hr, task, out);
  }
};

class FakeFolder final : public StubITaskFolder {
 public:
  using StubITaskFolder::StubITaskFolder;
  HRESULT STDMETHODCALLTYPE GetTasks(LONG flags, IRegisteredTaskCollection** out) override {
    return HandOut(Call(L"GetTasks", std::to_wstring(flags)), world_.Make<FakeTasks>(L"Tasks"), out);
  }
  HRESULT STDMETHODCALLTYPE DeleteTask(BSTR path, LONG flags) override {
    return Call(L"DeleteTask", Text(path) + L", " + std::to_wstring(flags));
  }
  HRESULT STDMETHODCALLTYPE RegisterTaskDefinition(BSTR path, ITaskDefinition* definition, LONG flags, VARIANT user,
                                                   VARIANT password, TASK_LOGON_TYPE logon, VARIANT sddl,
                                                   IRegisteredTask** out) override {
    const bool ours = world_.definition && definition == static_cast<FakeDefinition*>(world_.definition);
    const HRESULT hr = Call(L"RegisterTaskDefinition",
                            Text(path) + (ours ? L", new definition, " : L", other definition, ") +
                                std::to_wstring(flags) + L", " + Describe(user) + L", " + Describe(password) + L", " +
                                std::to_wstring(logon) + L", " + Describe(sddl));
    return HandOut(hr, world_.Make<FakeRegisteredTask>(L"Registered"), out);
  }
};

class FakeService final : public StubITaskService {
 public:
  using StubITaskService::StubITaskService;
  HRESULT STDMETHODCALLTYPE Connect(VARIANT server, VARIANT user, VARIANT domain, VARIANT password) override {
    return Call(L"Connect", Describe(server) + L", " + Describe(user) + L", " + Describe(domain) + L", " +
                                Describe(password));
  }
  HRESULT STDMETHODCALLTYPE GetFolder(BSTR path, ITaskFolder** out) override {
    return HandOut(Call(L"GetFolder", Text(path)), world_.Make<FakeFolder>(L"Root"), out);
  }
  HRESULT STDMETHODCALLTYPE NewTask(DWORD flags, ITaskDefinition** out) override {
    auto* definition = world_.Make<FakeDefinition>(L"Definition");
    world_.definition = definition;
    return HandOut(Call(L"NewTask", std::to_wstring(flags)), definition, out);
  }

 protected:
  bool Answers(REFIID iid) const override {
    return FakeObject::Answers(iid) || iid == TaskSchedApi::IID_ITaskService;
  }
};

// A world with the service in it, held by the test as the caller would hold it.
struct Scene {
  World world;
  FakeService* service;
  Scene() : service(world.Make<FakeService>(L"Service")) { service->AddRef(); }
  std::vector<std::wstring> Leaks() const { return world.Leaks(service); }
};

std::vector<std::wstring> Registration(int delaySeconds, const std::wstring& delayText) {
  std::vector<std::wstring> calls = {
      L"Service.Connect(EMPTY, EMPTY, EMPTY, EMPTY)",
      L"Service.GetFolder(\\)",
      L"Service.NewTask(0)",
      L"Definition.get_Principal()",
      L"Principal.put_RunLevel(1)",
      L"Definition.get_Triggers()",
      L"Triggers.Create(9)",
  };
  if (delaySeconds > 0) {
    calls.push_back(L"Trigger.QueryInterface(ILogonTrigger)");
    calls.push_back(L"Trigger.put_Delay(" + delayText + L")");
  }
  for (const wchar_t* call : {
           L"Definition.get_Actions()",
           L"Actions.Create(0)",
           L"Action.QueryInterface(IExecAction)",
           L"Action.put_Path(D:\\Apps\\Tool\\program.exe)",
           L"Action.put_WorkingDirectory(D:\\Apps\\Tool\\)",
           L"Action.put_Arguments(/start)",
           L"Definition.get_Settings()",
           L"Settings.put_StartWhenAvailable(-1)",
           L"Settings.put_ExecutionTimeLimit(PT0S)",
           L"Settings.get_IdleSettings()",
           L"Idle.put_StopOnIdleEnd(0)",
           L"Settings.put_DisallowStartIfOnBatteries(0)",
           L"Settings.put_StopIfGoingOnBatteries(0)",
           L"Root.RegisterTaskDefinition(QuorvaneTaskMachine, new definition, 6, EMPTY, EMPTY, 3, BSTR:)",
       })
    calls.push_back(call);
  return calls;
}

std::wstring CallName(const std::wstring& entry) { return entry.substr(0, entry.find(L'(')); }

}  // namespace

TEST(AutoStartTask, RegistersTheLogonTaskWithTheDelayOnlyWhenPositive) {
  const struct {
    int delay;
    const wchar_t* text;
  } cases[] = {{60, L"PT1M"}, {90, L"PT1M30S"}, {3601, L"PT60M1S"}, {1, L"PT1S"}, {0, L""}, {-30, L""}};
  for (const auto& c : cases) {
    Scene scene;
    UAC::SetAutoStartTask(scene.service, kTask, true, c.delay, kProgram);
    EXPECT_EQ(scene.world.log, Registration(c.delay, c.text)) << c.delay;
    EXPECT_EQ(scene.Leaks(), std::vector<std::wstring>()) << c.delay;
  }
}

TEST(AutoStartTask, AFailingStepEndsTheOperationAndReleasesEverything) {
  const std::vector<std::wstring> full = Registration(60, L"PT1M");
  for (std::size_t step = 0; step < full.size(); ++step) {
    for (HRESULT failure : {E_FAIL, E_NOTIMPL, E_NOINTERFACE}) {
      Scene scene;
      scene.world.failures[CallName(full[step])] = failure;
      UAC::SetAutoStartTask(scene.service, kTask, true, 60, kProgram);
      const std::vector<std::wstring> upToFailure(full.begin(), full.begin() + std::ptrdiff_t(step) + 1);
      EXPECT_EQ(scene.world.log, upToFailure) << "failing " << step;
      EXPECT_EQ(scene.Leaks(), std::vector<std::wstring>()) << "failing " << step;
    }
  }
}

TEST(AutoStartTask, DeletesOnlyTheFirstExactMatchInTheRootFolder) {
  const std::vector<std::wstring> walkStart = {
      L"Service.Connect(EMPTY, EMPTY, EMPTY, EMPTY)", L"Service.GetFolder(\\)", L"Root.GetTasks(0)",
      L"Tasks.get_Count()"};
  const struct {
    std::vector<std::wstring> tasks;
    int itemsRead;
    bool deleted;
  } cases[] = {
      {{L"Other", kTask, kTask, L"Later"}, 2, true},
      {{kTask}, 1, true},
      {{L"quorvanetaskmachine", L"QuorvaneTaskMachine2", L"\\QuorvaneTaskMachine", L"QuorvaneTaskMachin"}, 4, false},
      {{}, 0, false},
  };
  for (const auto& c : cases) {
    Scene scene;
    scene.world.tasks = c.tasks;
    UAC::SetAutoStartTask(scene.service, kTask, false, 60, kProgram);
    std::vector<std::wstring> expected = walkStart;
    for (int item = 1; item <= c.itemsRead; ++item) {
      expected.push_back(L"Tasks.get_Item(I4:" + std::to_wstring(item) + L")");
      expected.push_back(L"Task.get_Name()");
    }
    if (c.deleted) expected.push_back(L"Root.DeleteTask(QuorvaneTaskMachine, 0)");
    EXPECT_EQ(scene.world.log, expected) << c.tasks.size();
    EXPECT_EQ(scene.Leaks(), std::vector<std::wstring>());
  }
}

// A copy refused a logon task takes away only a task that starts itself, never another copy's.
TEST(AutoStartTask, ARefusedCopyDeletesOnlyItsOwnTask) {
  const struct {
    std::wstring taskProgram;
    bool deleted;
  } cases[] = {
      {kProgram, true},
      {L"d:\\APPS\\tool\\PROGRAM.EXE", true},  // Windows compares paths without case
      {L"C:\\Program Files (x86)\\Vantorel\\Quorvane\\Quorvane.exe", false},
      {L"", false},
  };
  for (const auto& c : cases) {
    Scene scene;
    scene.world.tasks = {kTask};
    scene.world.taskProgram = c.taskProgram;
    UAC::RemoveAutoStartTaskOf(scene.service, kTask, kProgram);
    const std::vector<std::wstring>& log = scene.world.log;
    EXPECT_NE(std::find(log.begin(), log.end(), L"Action.get_Path()"), log.end());
    std::wstring all;
    for (const auto& e : log) all += e + L" | ";
    EXPECT_EQ(log.back() == L"Root.DeleteTask(QuorvaneTaskMachine, 0)", c.deleted) << all;
    EXPECT_EQ(scene.Leaks(), std::vector<std::wstring>());
  }
  // Its program cannot be read: the task stays.
  Scene scene;
  scene.world.tasks = {kTask};
  scene.world.taskProgram = kProgram;
  scene.world.failures[L"Action.get_Path"] = E_FAIL;
  UAC::RemoveAutoStartTaskOf(scene.service, kTask, kProgram);
  EXPECT_EQ(scene.world.log.back(), L"Action.get_Path()");
  EXPECT_EQ(scene.Leaks(), std::vector<std::wstring>());
}

TEST(AutoStartTask, ExistsOnlyUnderItsExactName) {
  const struct {
    std::vector<std::wstring> tasks;
    bool exists;
  } cases[] = {
      {{kTask}, true},
      {{L"A", L"B", kTask}, true},
      {{L"QUORVANETASKMACHINE"}, false},
      {{L"QuorvaneTaskMachine "}, false},
      {{}, false},
  };
  for (const auto& c : cases) {
    Scene scene;
    scene.world.tasks = c.tasks;
    EXPECT_EQ(UAC::IsAutoStartTask(scene.service, kTask), c.exists);
    for (const std::wstring& entry : scene.world.log) {
      EXPECT_EQ(entry.find(L"DeleteTask"), std::wstring::npos);
      EXPECT_EQ(entry.find(L"Register"), std::wstring::npos);
    }
    EXPECT_EQ(scene.Leaks(), std::vector<std::wstring>());
  }
}

TEST(AutoStartTask, AnyFailureOnTheWayAnswersNoTaskAndDeletesNothing) {
  for (const wchar_t* call : {L"Service.Connect", L"Service.GetFolder", L"Root.GetTasks", L"Tasks.get_Count",
                              L"Tasks.get_Item", L"Task.get_Name"}) {
    Scene asking;
    asking.world.tasks = {kTask};
    asking.world.failures[call] = E_ACCESSDENIED;
    EXPECT_FALSE(UAC::IsAutoStartTask(asking.service, kTask)) << call;
    EXPECT_EQ(CallName(asking.world.log.back()), call) << call;
    EXPECT_EQ(asking.Leaks(), std::vector<std::wstring>()) << call;

    Scene deleting;
    deleting.world.tasks = {kTask};
    deleting.world.failures[call] = E_ACCESSDENIED;
    UAC::SetAutoStartTask(deleting.service, kTask, false, 0, kProgram);
    EXPECT_EQ(CallName(deleting.world.log.back()), call) << call;
    EXPECT_EQ(deleting.Leaks(), std::vector<std::wstring>()) << call;
  }
}

TEST(AutoStartTask, NoServiceIsNoTask) {
  EXPECT_FALSE(UAC::IsAutoStartTask(nullptr, kTask));
  UAC::SetAutoStartTask(nullptr, kTask, true, 60, kProgram);
}

// Wine's service refuses parts of the definition (the trigger, the run level), so all this
// can show there is that each operation comes back, and that a deleted task is gone.
TEST(AutoStartTaskWine, OperationsReturnAgainstTheRealService) {
  const std::wstring name = L"QuorvaneWinTestTask";
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  UAC::SetAutoStartTask(name, true, 60);
  UAC::SetAutoStartTask(name, true, 0);
  UAC::SetAutoStartTask(name, false, 0);
  EXPECT_FALSE(UAC::IsAutoStartTask(name));
  UAC::SetAutoStartTask(name, false, 0);
  CoUninitialize();
}

// A thread that never initialized COM: the request for COM security fails and nothing happens.
TEST(AutoStartTaskWine, WithoutComNothingHappens) {
  bool exists = true;
  platform::Thread worker;
  worker.Start([&] {
    UAC::SetAutoStartTask(L"QuorvaneWinTestTask", true, 60);
    exists = UAC::IsAutoStartTask(L"QuorvaneWinTestTask");
  });
  worker.Join();
  EXPECT_FALSE(exists);
}

// The question asked at start-up on its own thread: it comes back, with COM of its own, whether
// or not anyone waits for the answer.
TEST(AutoStartTaskWine, EarlyQueryAnswersOnItsOwnThread) {
  UAC::EarlyTaskQuery asked(L"QuorvaneWinTestTask");
  EXPECT_EQ(asked.TaskName(), L"QuorvaneWinTestTask");
  EXPECT_FALSE(asked.Exists());
  EXPECT_FALSE(asked.Exists()) << "a second look gives the same answer";
  UAC::EarlyTaskQuery ignored(L"QuorvaneWinTestTask");  // destroyed without being asked
}
