// The scheduled scan: one work item of the Task Scheduler (the 1.0
// interfaces ITaskScheduler / ITask) that runs the program with "-scan".
#pragma once

#include <string>

// Day-of-week bits of a weekly schedule.
constexpr int kScheduleSunday = 0x01;
constexpr int kScheduleMonday = 0x02;
constexpr int kScheduleTuesday = 0x04;
constexpr int kScheduleWednesday = 0x08;
constexpr int kScheduleThursday = 0x10;
constexpr int kScheduleFriday = 0x20;
constexpr int kScheduleSaturday = 0x40;

// Kinds of SetScanSchedule.
constexpr int kScheduleNone = 0;
constexpr int kScheduleDaily = 1;
constexpr int kScheduleWeekly = 2;

// Trigger types as GetScanSchedule reports them (the Task Scheduler's).
constexpr int kTriggerDaily = 1;   // TASK_TIME_TRIGGER_DAILY
constexpr int kTriggerWeekly = 2;  // TASK_TIME_TRIGGER_WEEKLY

struct ScheduleSettings {
    std::wstring TaskName = L"Klarwin";
    std::wstring Account;      // the current user
    std::wstring Application;  // full path of the program file
    std::wstring Parameters = L"-scan";
};

struct ScanSchedule {
    bool Exists = false;      // the work item exists
    bool HasTrigger = false;  // and has a trigger; the fields below are then set
    int TriggerType = 0;
    int Hour = 0;
    int Minute = 0;
    int DaysOfWeek = 0;
};

// Opens (or creates) the work item and sets its first trigger; kind 0 removes
// the triggers and leaves one disabled trigger (a saved item always holds
// one); then the item is saved. The calling thread must have COM. False on any
// Task Scheduler failure; nothing is saved then.
bool WriteScanSchedule(const ScheduleSettings& settings, int kind, int hour, int minute, int daysOfWeek);
// Reads the work item's first trigger. False when the Task Scheduler could not
// be reached (`schedule` then says nothing exists).
bool ReadScanSchedule(const std::wstring& taskName, ScanSchedule& schedule);
// Removes the work item; true when it is gone afterwards.
bool DeleteScanTask(const std::wstring& taskName);
