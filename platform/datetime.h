#pragma once

#include "platform/types.h"

// A calendar date and time as the program's classes pass it around: the
// broken-down form (SYSTEMTIME) and a checked value (COleDateTime). Both are
// local time with whole seconds; neither knows a time zone.

struct SYSTEMTIME {
    WORD wYear = 0;
    WORD wMonth = 0;
    WORD wDayOfWeek = 0; // 0 Sunday
    WORD wDay = 0;
    WORD wHour = 0;
    WORD wMinute = 0;
    WORD wSecond = 0;
    WORD wMilliseconds = 0;
};

class COleDateTime {
public:
    enum DateTimeStatus { valid = 0, invalid = 1, null = 2 };

    // A null value: not a date.
    COleDateTime() = default;
    COleDateTime(int year, int month, int day, int hour, int minute, int second) { SetDateTime(year, month, day, hour, minute, second); }
    explicit COleDateTime(const SYSTEMTIME& st) { SetDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond); }

    // The current local time, whole seconds.
    static COleDateTime GetCurrentTime();

    // 0 and a valid value when every field is in range (years 100 to 9999);
    // 1 and an invalid value otherwise.
    int SetDateTime(int year, int month, int day, int hour, int minute, int second);

    DateTimeStatus GetStatus() const { return m_status; }
    int GetYear() const { return m_year; }
    int GetMonth() const { return m_month; }
    int GetDay() const { return m_day; }
    int GetHour() const { return m_hour; }
    int GetMinute() const { return m_minute; }
    int GetSecond() const { return m_second; }
    // 1 Sunday to 7 Saturday; 0 when not valid.
    int GetDayOfWeek() const;
    // false when the value is not valid.
    bool GetAsSystemTime(SYSTEMTIME& st) const;

    bool operator==(const COleDateTime& o) const = default;

private:
    DateTimeStatus m_status = null;
    int m_year = 0, m_month = 0, m_day = 0, m_hour = 0, m_minute = 0, m_second = 0;
};

// Seconds since 1970 of a local date and time (the system's time zone and
// summer time); -1 when the system cannot represent it.
int64_t LocalTimeToSeconds(int year, int month, int day, int hour, int minute, int second);
