<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>CDebugQuorlin70</name>
    <message>
        <location filename="../src/console/debugquorlin70.cpp" line="40"/>
        <source>TExtract:</source>
        <translation>TExtract:</translation>
    </message>
    <message>
        <location filename="../src/console/debugquorlin70.cpp" line="41"/>
        <source>TSupply:</source>
        <translation>TSupply:</translation>
    </message>
    <message>
        <location filename="../src/console/debugquorlin70.cpp" line="42"/>
        <source>CO2 Ext:</source>
        <translation>CO2 Abluft:</translation>
    </message>
    <message>
        <location filename="../src/console/debugquorlin70.cpp" line="43"/>
        <source>CO2 Sup:</source>
        <translation>CO2 Zuluft:</translation>
    </message>
    <message>
        <location filename="../src/console/debugquorlin70.cpp" line="46"/>
        <source>Rel.Hum.Ext:</source>
        <translation>Rel.Feuchte Abluft:</translation>
    </message>
    <message>
        <location filename="../src/console/debugquorlin70.cpp" line="47"/>
        <source>Rel.Hum.Sup:</source>
        <translation>Rel.Feuchte Zuluft:</translation>
    </message>
    <message>
        <location filename="../src/console/debugquorlin70.cpp" line="48"/>
        <source>Abs.Hum.Ext:</source>
        <translation>Abs.Feuchte Abluft:</translation>
    </message>
    <message>
        <location filename="../src/console/debugquorlin70.cpp" line="49"/>
        <source>Abs.Hum.Sup:</source>
        <translation>Abs.Feuchte Zuluft:</translation>
    </message>
    <message>
        <location filename="../src/console/debugquorlin70.cpp" line="52"/>
        <source>Aver.Hum.Ext:</source>
        <translation>Mittl.Feuchte Abluft:</translation>
    </message>
    <message>
        <location filename="../src/console/debugquorlin70.cpp" line="53"/>
        <source>Aver.Temp.Sup:</source>
        <translation>Mittl.Temp. Zuluft:</translation>
    </message>
    <message>
        <location filename="../src/console/debugquorlin70.cpp" line="56"/>
        <source>Set Values 70</source>
        <translation>Werte setzen 70</translation>
    </message>
    <message>
        <location filename="../src/console/debugquorlin70.cpp" line="59"/>
        <source>DIP Switch:</source>
        <translation>DIP-Schalter:</translation>
    </message>
    <message>
        <location filename="../src/console/debugquorlin70.cpp" line="65"/>
        <source>Com.Level:</source>
        <translation>Komfortstufe:</translation>
    </message>
</context>
<context>
    <name>CDebugVentaro100</name>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="56"/>
        <source>TOutdoor:</source>
        <translation>TOutdoor:</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="57"/>
        <source>TExtract:</source>
        <translation>TExtract:</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="58"/>
        <source>TExhaust:</source>
        <translation>TExhaust:</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="59"/>
        <source>TSupply:</source>
        <translation>TSupply:</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="60"/>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="61"/>
        <source>Tick+</source>
        <translation>Schritt+</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="62"/>
        <source>Tick-</source>
        <translation>Schritt-</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="63"/>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="65"/>
        <source>Rel.Hum.Out:</source>
        <translation>Rel.Feuchte Außen:</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="66"/>
        <source>Rel.Hum.Ext:</source>
        <translation>Rel.Feuchte Abluft:</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="67"/>
        <source>CO2:</source>
        <translation>CO2:</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="73"/>
        <source>Abs.Hum.Out:</source>
        <translation>Abs.Feuchte Außen:</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="74"/>
        <source>Abs.Hum.Ext:</source>
        <translation>Abs.Feuchte Abluft:</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="75"/>
        <source>Aver.HExt:</source>
        <translation>Mittl.F.Abluft:</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="76"/>
        <source>Aver.TOut:</source>
        <translation>Mittl.T.Außen:</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="78"/>
        <source>Move Extract</source>
        <translation>Klappe Abluft fahren</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="78"/>
        <source>Move 2nd</source>
        <translation>Klappe Zweitraum fahren</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="79"/>
        <source>Move Supply</source>
        <translation>Klappe Zuluft fahren</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="79"/>
        <source>Move Bypass</source>
        <translation>Klappe Bypass fahren</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="88"/>
        <source>Set Values 100</source>
        <translation>Werte setzen 100</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="91"/>
        <source>DIP Switch:</source>
        <translation>DIP-Schalter:</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="97"/>
        <source>First Room Off</source>
        <translation>Erster Raum aus</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="97"/>
        <source>Power Line</source>
        <translation>Netzleitung</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="105"/>
        <source>Operation Mode:</source>
        <translation>Betriebsart:</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="106"/>
        <source>Hum.Reduction</source>
        <translation>Feuchteabbau</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="109"/>
        <source>Com.Level:</source>
        <translation>Komfortstufe:</translation>
    </message>
    <message>
        <location filename="../src/console/debugventaro100.cpp" line="110"/>
        <source>Get Vent Info</source>
        <translation>Klappeninfo lesen</translation>
    </message>
</context>
<context>
    <name>CDebugWidget</name>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="86"/>
        <source>Get Ident</source>
        <translation>Kennung lesen</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="87"/>
        <source>Report Time</source>
        <translation>Zeit ausgeben</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="88"/>
        <source>Get Counters</source>
        <translation>Zähler lesen</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="89"/>
        <source>Get Part Table</source>
        <translation>Partitionstabelle lesen</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="91"/>
        <source>Dump Address:</source>
        <translation>Speicheradresse:</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="95"/>
        <source>Dump Memory</source>
        <translation>Speicher ausgeben</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="97"/>
        <source>Calc.Ave.Sensor Values</source>
        <translation>Sensor-Mittelwerte berechnen</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="100"/>
        <source>Report Prim Log</source>
        <translation>Primärlog ausgeben</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="102"/>
        <source>Erase Log Data</source>
        <translation>Logdaten löschen</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="103"/>
        <source>Secondary Log:</source>
        <translation>Sekundärlog:</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="104"/>
        <source>Get Sec Log Cnt</source>
        <translation>Sek.-Log-Zähler lesen</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="111"/>
        <source>Check Sec Log</source>
        <translation>Sek.-Log prüfen</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="112"/>
        <source>Erase Sec Log</source>
        <translation>Sek.-Log löschen</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="113"/>
        <source>Report Sec Log</source>
        <translation>Sek.-Log ausgeben</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="118"/>
        <source>Report All</source>
        <translation>Alle ausgeben</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="119"/>
        <source>10 Youngest</source>
        <translation>10 neueste</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="120"/>
        <source>100 Youngest</source>
        <translation>100 neueste</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="121"/>
        <source>10 Oldest</source>
        <translation>10 älteste</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="122"/>
        <source>100 Oldest</source>
        <translation>100 älteste</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="130"/>
        <source>Update Application</source>
        <translation>Applikation aktualisieren</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="131"/>
        <source>Update CC3200</source>
        <translation>CC3200 aktualisieren</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="132"/>
        <source>Update Bootloader</source>
        <translation>Bootloader aktualisieren</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="133"/>
        <source>Swap Boot</source>
        <translation>Bootloader tauschen</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="134"/>
        <source>Get Wifi Data Debug</source>
        <translation>WiFi-Debugdaten lesen</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="136"/>
        <source>Test case:</source>
        <translation>Testfall:</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="143"/>
        <source>(Re)load Test File</source>
        <translation>Testdatei (neu) laden</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="144"/>
        <source>Automatic Test Mode</source>
        <translation>Automatischer Testmodus</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="214"/>
        <source>Confirm Erasing Log</source>
        <translation>Löschen des Logs bestätigen</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="215"/>
        <source>The secondary log &quot;%1&quot; will be deleted</source>
        <translation>Das Sekundärlog &quot;%1&quot; wird gelöscht</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget_testfile.cpp" line="50"/>
        <location filename="../src/console/debugwidget_testfile.cpp" line="72"/>
        <source>Unable to open file &apos;%1&apos;</source>
        <translation>Die Datei &apos;%1&apos; kann nicht geöffnet werden</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget_testfile.cpp" line="56"/>
        <source>Unable to read CSV file &apos;%1&apos;</source>
        <translation>Die CSV-Datei &apos;%1&apos; kann nicht gelesen werden</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget_testfile.cpp" line="77"/>
        <source>Unable to write CSV file &apos;%1&apos;</source>
        <translation>Die CSV-Datei &apos;%1&apos; kann nicht geschrieben werden</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget_testfile.cpp" line="85"/>
        <source>Missing column in test file (&apos;%1&apos;).</source>
        <translation>Fehlende Spalte in der Testdatei (&apos;%1&apos;).</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="101"/>
        <source>Chart Prim Log</source>
        <translation>Primärlog-Diagramm</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget.cpp" line="114"/>
        <source>Chart Sec Log</source>
        <translation>Sek.-Log-Diagramm</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget_charts.cpp" line="23"/>
        <source>Primary Log</source>
        <translation>Primärlog</translation>
    </message>
    <message>
        <location filename="../src/console/debugwidget_charts.cpp" line="39"/>
        <source>Secondary Log: %1</source>
        <translation>Sekundärlog: %1</translation>
    </message>
</context>
<context>
    <name>CLogChartView</name>
    <message>
        <location filename="../src/console/logchart.cpp" line="49"/>
        <source>Temperature</source>
        <translation>Temperatur</translation>
    </message>
    <message>
        <location filename="../src/console/logchart.cpp" line="51"/>
        <source>Humidity</source>
        <translation>Feuchte</translation>
    </message>
    <message>
        <location filename="../src/console/logchart.cpp" line="52"/>
        <source>CO2</source>
        <translation>CO2</translation>
    </message>
    <message>
        <location filename="../src/console/logchart.cpp" line="53"/>
        <source>Air flow</source>
        <translation>Luftmenge</translation>
    </message>
    <message>
        <location filename="../src/console/logchart.cpp" line="59"/>
        <source>Log entry</source>
        <translation>Logeintrag</translation>
    </message>
    <message>
        <location filename="../src/console/logchart.cpp" line="60"/>
        <source>Age [%1]</source>
        <translation>Alter [%1]</translation>
    </message>
    <message>
        <location filename="../src/console/logchart.cpp" line="66"/>
        <source>quarter hours</source>
        <translation>Viertelstunden</translation>
    </message>
    <message>
        <location filename="../src/console/logchart.cpp" line="66"/>
        <source>days</source>
        <translation>Tage</translation>
    </message>
    <message>
        <location filename="../src/console/logchart.cpp" line="67"/>
        <source>months</source>
        <translation>Monate</translation>
    </message>
    <message>
        <location filename="../src/console/logchart.cpp" line="163"/>
        <location filename="../src/console/logchart.cpp" line="254"/>
        <source>Save as PNG</source>
        <translation>Als PNG speichern</translation>
    </message>
    <message>
        <location filename="../src/console/logchart.cpp" line="212"/>
        <source>entry %1</source>
        <translation>Eintrag %1</translation>
    </message>
    <message>
        <location filename="../src/console/logchart.cpp" line="213"/>
        <source>%1 %2 old</source>
        <translation>%1 %2 alt</translation>
    </message>
    <message>
        <location filename="../src/console/logchart.cpp" line="254"/>
        <source>PNG images (*.png)</source>
        <translation>PNG-Bilder (*.png)</translation>
    </message>
    <message>
        <location filename="../src/console/logchart.cpp" line="258"/>
        <source>Could not write %1</source>
        <translation>%1 kann nicht geschrieben werden</translation>
    </message>
</context>
<context>
    <name>CMainDialogNew</name>
    <message>
        <location filename="../src/app/maindialognew_update.cpp" line="26"/>
        <source>Production record</source>
        <translation>Produktionsprotokoll</translation>
    </message>
    <message>
        <location filename="../src/app/maindialognew_update.cpp" line="27"/>
        <source>The update does not start: its line could not be recorded.
%1</source>
        <translation>Das Update startet nicht: seine Zeile kann nicht ins Produktionsprotokoll geschrieben werden.
%1</translation>
    </message>
    <message>
        <location filename="../src/app/maindialognew_update.cpp" line="170"/>
        <source>The update&apos;s line could not be recorded.
%1</source>
        <translation>Die Zeile des Updates konnte nicht ins Produktionsprotokoll geschrieben werden.
%1</translation>
    </message>
    <message>
        <location filename="../src/app/maindialognew.cpp" line="80"/>
        <source>-%1</source>
        <translation>-%1</translation>
    </message>
    <message>
        <location filename="../src/app/maindialognew_discovery.cpp" line="115"/>
        <source>- Communication failed (corrupted sender address) - </source>
        <translation>- Kommunikation fehlgeschlagen (fehlerhafte Absenderadresse) - </translation>
    </message>
    <message>
        <location filename="../src/app/currentinfo.cpp" line="13"/>
        <source>Runtime: %1:%2</source>
        <translation>Laufzeit: %1:%2</translation>
    </message>
    <message>
        <location filename="../src/app/currentinfo.cpp" line="23"/>
        <source>Application starting...</source>
        <translation>Applikation startet...</translation>
    </message>
    <message>
        <location filename="../src/app/currentinfo.cpp" line="47"/>
        <source>getCurrentState() failed</source>
        <translation>getCurrentState() fehlgeschlagen</translation>
    </message>
</context>
<context>
    <name>CUpdateVerify</name>
    <message>
        <location filename="../src/service/updateverify.cpp" line="145"/>
        <source>The device did not take the update: %1. Please update it again.</source>
        <translation>Das Gerät hat das Update nicht übernommen: %1. Bitte aktualisieren Sie es erneut.</translation>
    </message>
    <message>
        <location filename="../src/service/updateverify.cpp" line="28"/>
        <source>the application is still %1</source>
        <translation>die Anwendung ist noch %1</translation>
    </message>
    <message>
        <location filename="../src/service/updateverify.cpp" line="29"/>
        <source>the application is reported damaged</source>
        <translation>die Anwendung wird als beschädigt gemeldet</translation>
    </message>
    <message>
        <location filename="../src/service/updateverify.cpp" line="32"/>
        <source>the WiFi module is still %1</source>
        <translation>das WLAN-Modul ist noch %1</translation>
    </message>
    <message>
        <location filename="../src/service/updateverify.cpp" line="33"/>
        <source>the WiFi module is reported damaged</source>
        <translation>das WLAN-Modul wird als beschädigt gemeldet</translation>
    </message>
    <message>
        <location filename="../src/service/updateverify.cpp" line="35"/>
        <source>the bootloader is still %1</source>
        <translation>der Bootloader ist noch %1</translation>
    </message>
    <message>
        <location filename="../src/service/updateverify.cpp" line="36"/>
        <source>the bootloader is reported damaged</source>
        <translation>der Bootloader wird als beschädigt gemeldet</translation>
    </message>
    <message>
        <location filename="../src/service/updateverify.cpp" line="192"/>
        <source>the old bootloader copy still runs (%1)</source>
        <translation>die alte Bootloader-Kopie läuft noch (%1)</translation>
    </message>
    <message>
        <location filename="../src/service/updateverify.cpp" line="165"/>
        <source>the serial number reads %1</source>
        <translation>die Seriennummer lautet %1</translation>
    </message>
    <message>
        <location filename="../src/service/updateverify.cpp" line="170"/>
        <source>another unit answers</source>
        <translation>ein anderes Gerät antwortet</translation>
    </message>
    <message>
        <location filename="../src/service/updateverify.cpp" line="206"/>
        <source>its partition table could not be read</source>
        <translation>seine Partitionstabelle konnte nicht gelesen werden</translation>
    </message>
    <message>
        <location filename="../src/service/updateverify.cpp" line="212"/>
        <source>Verifying ...</source>
        <translation>Überprüfung ...</translation>
    </message>
    <message>
        <location filename="../src/service/updateverify.cpp" line="217"/>
        <source>The device did not answer again after the update. Please switch it off and on and update it again.</source>
        <translation>Das Gerät hat sich nach dem Update nicht wieder gemeldet. Bitte schalten Sie es aus und wieder ein und aktualisieren Sie es erneut.</translation>
    </message>
</context>
<context>
    <name>CUpdateWorkflow</name>
    <message>
        <location filename="../src/service/updateworkflow.cpp" line="289"/>
        <source>Another ventaro device was connected. The update was stopped.</source>
        <translation>Ein anderes ventaro-Gerät wurde angeschlossen. Das Update wurde abgebrochen.</translation>
    </message>
    <message>
        <location filename="../src/service/updateworkflow.cpp" line="295"/>
        <source>Serial number not new</source>
        <translation>Seriennummer nicht neu</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <location filename="../src/app/main.cpp" line="68"/>
        <source>An instance of Update-ventaro100 or ventaro-Connect is already running.
It is not possible to run more than one of those applications at the same time.</source>
        <translation>Update-ventaro100 oder ventaro-Connect läuft bereits.
Es kann immer nur eine dieser Anwendungen gleichzeitig laufen.</translation>
    </message>
    <message>
        <location filename="../src/app/main.cpp" line="77"/>
        <source>The command line to start this application contains unrecognized parameters:
%1
They are ignored.</source>
        <translation>Die Befehlszeile dieser Anwendung enthält unbekannte Parameter:
%1
Sie werden ignoriert.</translation>
    </message>
    <message>
        <location filename="../src/app/main.cpp" line="89"/>
        <source>Unable to load translations for locale &apos;%1&apos;.</source>
        <translation>Die Übersetzungen für die Sprache &apos;%1&apos; können nicht geladen werden.</translation>
    </message>
</context>
</TS>
