#pragma once
// Multistatus texts for test_sync_multistatus, kept apart: moc does not read raw string literals.

#include <QByteArray>

namespace {
const QByteArray kDiscoveryAndChanges = R"(<?xml version="1.0" encoding="utf-8"?>
<multistatus xmlns="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav" xmlns:X="http://example.com/x">
 <response><href>/alice/cal/</href>
  <propstat><prop>
   <resourcetype><collection/><C:calendar/></resourcetype>
   <displayname>仕事 &amp; 家</displayname>
   <C:supported-calendar-component-set><C:comp name="VEVENT"/><C:comp name="vtodo"/></C:supported-calendar-component-set>
   <supported-report-set><supported-report><report><sync-collection/></report></supported-report>
    <supported-report><report><C:calendar-multiget/></report></supported-report></supported-report-set>
   <current-user-principal><href>/alice/</href></current-user-principal>
   <C:calendar-home-set><href>/home/alice/</href></C:calendar-home-set>
   <X:calendar-color>#ff0000</X:calendar-color>
  </prop><status>HTTP/1.1 200 OK</status></propstat>
  <propstat><prop><getetag>"not-found"</getetag></prop><status>HTTP/1.1 404 Not Found</status></propstat>
 </response>
 <response><href>/alice/cal/a%20b.ics</href>
  <propstat><prop><getetag>"e1"</getetag><C:calendar-data><![CDATA[BEGIN:VCALENDAR
END:VCALENDAR
]]></C:calendar-data></prop><status>HTTP/1.1 200 OK</status></propstat></response>
 <response><href>/alice/cal/gone.ics</href><status>HTTP/1.1 404 Not Found</status></response>
 <sync-token>http://example.com/sync/7</sync-token>
</multistatus>)";
const QByteArray kEntityBomb = QByteArray(R"(<?xml version="1.0"?><!DOCTYPE d:multistatus [
<!ENTITY a "aaaaaaaaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;">]>
<d:multistatus xmlns:d="DAV:"><d:response><d:href>&b;</d:href></d:response></d:multistatus>)");
const QByteArray kExternalEntity =
    QByteArray(R"(<?xml version="1.0"?><!DOCTYPE x [<!ENTITY e SYSTEM "file:///etc/passwd">]>
<d:multistatus xmlns:d="DAV:"><d:response><d:href>&e;</d:href></d:response></d:multistatus>)");
const QByteArray kHead = R"(<?xml version="1.0"?><d:multistatus xmlns:d="DAV:">)";
} // namespace
