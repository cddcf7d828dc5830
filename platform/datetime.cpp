#include "platform/datetime.h"

#include <ctime>

namespace {

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m)
{
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

} // namespace

COleDateTime COleDateTime::GetCurrentTime()
{
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    if (!localtime_r(&now, &tm)) {
        COleDateTime bad;
        bad.m_status = invalid;
        return bad;
    }
    return COleDateTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
}

int COleDateTime::SetDateTime(int year, int month, int day, int hour, int minute, int second)
{
    const bool ok = year >= 100 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
                    day <= DaysInMonth(year, month) && hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 &&
                    second >= 0 && second <= 59;
    if (!ok) {
        *this = COleDateTime();
        m_status = invalid;
        return 1;
    }
    m_status = valid;
    m_year = year;
    m_month = month;
    m_day = day;
    m_hour = hour;
    m_minute = minute;
    m_second = second;
    return 0;
}

int COleDateTime::GetDayOfWeek() const
{
    if (m_status != valid)
        return 0;
    // Sakamoto's method: 0 Sunday.
    static const int kOffset[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    int y = m_month < 3 ? m_year - 1 : m_year;
    return (y + y / 4 - y / 100 + y / 400 + kOffset[m_month - 1] + m_day) % 7 + 1;
}

bool COleDateTime::GetAsSystemTime(SYSTEMTIME& st) const
{
    if (m_status != valid)
        return false;
    st.wYear = WORD(m_year);
    st.wMonth = WORD(m_month);
    st.wDayOfWeek = WORD(GetDayOfWeek() - 1);
    st.wDay = WORD(m_day);
    st.wHour = WORD(m_hour);
    st.wMinute = WORD(m_minute);
    st.wSecond = WORD(m_second);
    st.wMilliseconds = 0;
    return true;
}

int64_t LocalTimeToSeconds(int year, int month, int day, int hour, int minute, int second)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return int64_t(std::mktime(&t));
}
