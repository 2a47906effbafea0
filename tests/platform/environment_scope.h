#pragma once

#include <map>
#include <optional>
#include <string>

#include <QByteArray>
#include <QtGlobal>

// Sets environment variables for as long as it lives, then puts back what was there.
class EnvironmentScope {
public:
    EnvironmentScope() = default;
    EnvironmentScope(const EnvironmentScope&) = delete;
    EnvironmentScope& operator=(const EnvironmentScope&) = delete;
    ~EnvironmentScope() {
        for (const auto& [name, value] : saved_) {
            value ? qputenv(name.c_str(), *value) : qunsetenv(name.c_str());
        }
    }

    void Set(const std::string& name, const std::string& value) {
        if (saved_.count(name) == 0) {
            saved_[name] = qEnvironmentVariableIsSet(name.c_str())
                               ? std::optional<QByteArray>(qgetenv(name.c_str()))
                               : std::nullopt;
        }
        qputenv(name.c_str(), QByteArray::fromStdString(value));
    }

private:
    std::map<std::string, std::optional<QByteArray>> saved_;
};
