#include "klarwin/scan_schedule.h"

#include <windows.h>
#include <mstask.h>

#include "fw/win/com.h"

namespace {

// The ids of the Task Scheduler 1.0 classes and interfaces, declared here so
// that no import library has to provide them.
const GUID kClsidTask = {0x148BD520, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
const GUID kClsidTaskScheduler = {0x148BD52A, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
const GUID kIidTask = {0x148BD524, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
const GUID kIidTaskScheduler = {0x148BD527, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
const GUID kIidPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

bool OpenScheduler(fw::ComPtr<ITaskScheduler>& scheduler) {
    return SUCCEEDED(scheduler.CoCreateInstance(kClsidTaskScheduler, kIidTaskScheduler));
}

bool OpenTask(ITaskScheduler* scheduler, const std::wstring& name, fw::ComPtr<ITask>& task) {
    return SUCCEEDED(
        scheduler->Activate(name.c_str(), kIidTask, reinterpret_cast<IUnknown**>(task.ReleaseAndGetAddressOf())));
}

}  // namespace

bool WriteScanSchedule(const ScheduleSettings& settings, int kind, int hour, int minute, int daysOfWeek) {
    fw::ComPtr<ITaskScheduler> scheduler;
    if (!OpenScheduler(scheduler)) return false;
    fw::ComPtr<ITask> task;
    if (!OpenTask(scheduler.Get(), settings.TaskName, task)) {
        if (FAILED(scheduler->NewWorkItem(settings.TaskName.c_str(), kClsidTask, kIidTask,
                                          reinterpret_cast<IUnknown**>(task.ReleaseAndGetAddressOf()))))
            return false;
        if (FAILED(task->SetApplicationName(settings.Application.c_str()))) return false;
        if (FAILED(task->SetAccountInformation(settings.Account.c_str(), nullptr))) return false;
        if (FAILED(task->SetParameters(settings.Parameters.c_str()))) return false;
        if (FAILED(task->SetFlags(TASK_FLAG_RUN_ONLY_IF_LOGGED_ON))) return false;
        if (FAILED(scheduler->AddWorkItem(settings.TaskName.c_str(), task.Get()))) return false;
    }

    WORD count = 0;
    if (FAILED(task->GetTriggerCount(&count))) return false;
    if (kind == kScheduleDaily || kind == kScheduleWeekly) {
        fw::ComPtr<ITaskTrigger> trigger;
        WORD index = 0;
        HRESULT hr = count > 0 ? task->GetTrigger(0, trigger.ReleaseAndGetAddressOf())
                               : task->CreateTrigger(&index, trigger.ReleaseAndGetAddressOf());
        if (FAILED(hr)) return false;
        TASK_TRIGGER t;
        ZeroMemory(&t, sizeof t);
        t.cbTriggerSize = sizeof t;
        t.wBeginYear = 1999;
        t.wBeginMonth = 1;
        t.wBeginDay = 1;
        t.wStartHour = static_cast<WORD>(hour);
        t.wStartMinute = static_cast<WORD>(minute);
        if (kind == kScheduleDaily) {
            t.TriggerType = TASK_TIME_TRIGGER_DAILY;
            t.Type.Daily.DaysInterval = 1;
        } else {
            t.TriggerType = TASK_TIME_TRIGGER_WEEKLY;
            t.Type.Weekly.WeeksInterval = 1;
            t.Type.Weekly.rgfDaysOfTheWeek = static_cast<WORD>(daysOfWeek);
        }
        if (FAILED(trigger->SetTrigger(&t))) return false;
    } else if (kind == kScheduleNone) {
        for (WORD i = count; i > 0; --i)
            if (FAILED(task->DeleteTrigger(static_cast<WORD>(i - 1)))) return false;
        // A saved work item always holds at least one trigger (the scheduler
        // puts in a default one that would run). The one kept here is
        // disabled, so the item never starts the program and reads back as
        // having no schedule.
        fw::ComPtr<ITaskTrigger> trigger;
        WORD index = 0;
        if (FAILED(task->CreateTrigger(&index, trigger.ReleaseAndGetAddressOf()))) return false;
        TASK_TRIGGER t;
        ZeroMemory(&t, sizeof t);
        t.cbTriggerSize = sizeof t;
        t.wBeginYear = 1999;
        t.wBeginMonth = 1;
        t.wBeginDay = 1;
        t.TriggerType = TASK_TIME_TRIGGER_DAILY;
        t.Type.Daily.DaysInterval = 1;
        t.rgFlags = TASK_TRIGGER_FLAG_DISABLED;
        if (FAILED(trigger->SetTrigger(&t))) return false;
    } else {
        return false;
    }

    fw::ComPtr<IPersistFile> file;
    if (FAILED(task.As(kIidPersistFile, file))) return false;
    return SUCCEEDED(file->Save(nullptr, TRUE));
}

bool ReadScanSchedule(const std::wstring& taskName, ScanSchedule& schedule) {
    schedule = ScanSchedule();
    fw::ComPtr<ITaskScheduler> scheduler;
    if (!OpenScheduler(scheduler)) return false;
    fw::ComPtr<ITask> task;
    if (!OpenTask(scheduler.Get(), taskName, task)) return true;
    schedule.Exists = true;
    WORD count = 0;
    if (FAILED(task->GetTriggerCount(&count)) || count == 0) return true;
    fw::ComPtr<ITaskTrigger> trigger;
    if (FAILED(task->GetTrigger(0, trigger.ReleaseAndGetAddressOf()))) return true;
    TASK_TRIGGER t;
    ZeroMemory(&t, sizeof t);
    t.cbTriggerSize = sizeof t;
    if (FAILED(trigger->GetTrigger(&t))) return true;
    // A disabled trigger never runs: the item has no schedule.
    if (t.rgFlags & TASK_TRIGGER_FLAG_DISABLED) return true;
    schedule.HasTrigger = true;
    schedule.TriggerType = static_cast<int>(t.TriggerType);
    schedule.Hour = t.wStartHour;
    schedule.Minute = t.wStartMinute;
    schedule.DaysOfWeek = t.TriggerType == TASK_TIME_TRIGGER_WEEKLY ? t.Type.Weekly.rgfDaysOfTheWeek : 0;
    return true;
}

bool DeleteScanTask(const std::wstring& taskName) {
    fw::ComPtr<ITaskScheduler> scheduler;
    if (!OpenScheduler(scheduler)) return false;
    scheduler->Delete(taskName.c_str());
    fw::ComPtr<ITask> task;
    return !OpenTask(scheduler.Get(), taskName, task);
}
