#include "host/automation.h"

#include "host/hosterror.h"

using namespace Qt::Literals::StringLiterals;

namespace host {

void AutomationRegistry::registerClass(const QString& progId, Creator creator)
{
    m_creators[progId] = std::move(creator);
}

std::unique_ptr<AutomationObject> AutomationRegistry::createObject(const QString& progId) const
{
    const auto it = m_creators.find(progId);
    if (it == m_creators.end())
        throw HostError(u"No object class is registered as "_s + progId + u"."_s);
    auto object = it->second();
    if (!object)
        throw HostError(u"The object "_s + progId + u" could not be created."_s);
    return object;
}

void AutomationRegistry::throwWrongInterface(QStringView progId)
{
    throw HostError(u"The object "_s + progId.toString() +
                    u" does not offer the expected members."_s);
}

} // namespace host
