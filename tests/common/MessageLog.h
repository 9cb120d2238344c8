// Message capture for the tests of every library: a log collects the
// messages of the channels it is made for while it is alive. Each chosen
// channel's handler is replaced for the log's lifetime and restored after
// it; a captured fatal error returns to its caller instead of ending the
// process. Logs nest: a message goes to the newest log of its channel.
#ifndef KELMAR_TESTS_COMMON_MESSAGELOG_H
#define KELMAR_TESTS_COMMON_MESSAGELOG_H

#include <stdarg.h>
#include <stdio.h>

#include <string>
#include <vector>

#include <kelmar/PxMessage.h>

namespace testsupport {

class MessageLog {
public:
    enum Channel { kWarnings = 1, kFatals = 2, kInfos = 4 };

    explicit MessageLog(int channels = kWarnings) : channels_(channels), outer_(newest())
    {
        newest() = this;
        if (channels_ & kWarnings) savedWarning_ = PxSetWarningHandler(&MessageLog::onWarning);
        if (channels_ & kFatals) savedFatal_ = PxSetFatalErrorHandler(&MessageLog::onFatal);
        if (channels_ & kInfos) savedInfo_ = PxSetInfoHandler(&MessageLog::onInfo);
    }
    ~MessageLog()
    {
        if (channels_ & kWarnings) PxSetWarningHandler(savedWarning_);
        if (channels_ & kFatals) PxSetFatalErrorHandler(savedFatal_);
        if (channels_ & kInfos) PxSetInfoHandler(savedInfo_);
        newest() = outer_;
    }
    MessageLog(const MessageLog &) = delete;
    MessageLog &operator=(const MessageLog &) = delete;

    // Does some collected warning contain text?
    bool warned(const std::string &text) const
    {
        for (const std::string &warning : warnings)
            if (warning.find(text) != std::string::npos) return true;
        return false;
    }

    std::vector<std::string> warnings, fatals, infos;

private:
    static MessageLog *&newest()
    {
        static MessageLog *log = nullptr;
        return log;
    }
    // The newest log that collects the channel.
    static MessageLog *collector(Channel channel)
    {
        MessageLog *log = newest();
        while (!(log->channels_ & channel)) log = log->outer_;
        return log;
    }
    static std::string format(const char *fmt, va_list args)
    {
        char text[2048];
        vsnprintf(text, sizeof text, fmt, args);
        return text;
    }
    static void onWarning(int, const char *fmt, va_list args)
    {
        collector(kWarnings)->warnings.push_back(format(fmt, args));
    }
    static void onFatal(int, const char *fmt, va_list args)
    {
        collector(kFatals)->fatals.push_back(format(fmt, args));
    }
    static void onInfo(int, const char *fmt, va_list args) { collector(kInfos)->infos.push_back(format(fmt, args)); }

    int channels_;
    MessageLog *outer_;
    PxMessageHandler savedWarning_ = nullptr, savedFatal_ = nullptr, savedInfo_ = nullptr;
};

} // namespace testsupport

#endif
