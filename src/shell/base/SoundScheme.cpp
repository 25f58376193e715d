#include "shell/base/SoundScheme.h"
#include "shell/base/Registry.h"

QString SoundEventKey(SoundEvent event) {
    return event == SoundEvent::CriticalLevel
               ? QStringLiteral("\\AppEvents\\Schemes\\Apps\\VelmorOrvexProf\\OrvexProfCriticalLeve"
                                "l\\.Current")
               : QStringLiteral(
                     "\\AppEvents\\Schemes\\Apps\\VelmorOrvexProf\\OrvexProfStartLevel\\.Current");
}

QString SoundEventFile(SoundEvent event) {
    TRegistry registry;
    if (!registry.OpenKeyReadOnly(SoundEventKey(event)))
        return QString();
    return registry.ReadString(QString());
}

bool SetSoundEventFile(SoundEvent event, const QString& path) {
    TRegistry registry;
    return registry.OpenKey(SoundEventKey(event), true) && registry.WriteString(QString(), path);
}
