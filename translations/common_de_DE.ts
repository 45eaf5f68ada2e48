<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>CDataDict</name>
    <message>
        <location filename="../src/values/datadict.cpp" line="32"/>
        <source>Timestamp of log entry</source>
        <translation>Zeitstempel des Logeintrags</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="32"/>
        <source>TIM</source>
        <translation>TIM</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="33"/>
        <source>Restarted</source>
        <translation>Neustart</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="33"/>
        <source>RES</source>
        <translation>RES</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="34"/>
        <source>Operation mode</source>
        <translation>Betriebsart</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="34"/>
        <source>OM</source>
        <translation>OM</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="35"/>
        <source>Comfort</source>
        <translation>Komfort</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="35"/>
        <source>cmf</source>
        <translation>cmf</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="36"/>
        <source>Comfort (1st room)</source>
        <translation>Komfort (1. Raum)</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="36"/>
        <source>cm1</source>
        <translation>cm1</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="37"/>
        <source>Auto</source>
        <translation>Auto</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="37"/>
        <source>aut</source>
        <translation>aut</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="38"/>
        <source>Sleep</source>
        <translation>Schlafen</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="38"/>
        <source>slp</source>
        <translation>slp</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="39"/>
        <source>Turbo</source>
        <translation>Turbo</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="39"/>
        <source>trb</source>
        <translation>trb</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="40"/>
        <source>Turbo Cool</source>
        <translation>Turbo Kühlen</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="40"/>
        <source>trc</source>
        <translation>trc</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="41"/>
        <source>Service</source>
        <translation>Service</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="41"/>
        <source>svc</source>
        <translation>svc</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="42"/>
        <source>Test</source>
        <translation>Test</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="42"/>
        <source>tst</source>
        <translation>tst</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="43"/>
        <source>Manufacturer</source>
        <translation>Hersteller</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="43"/>
        <source>mnu</source>
        <translation>mnu</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="44"/>
        <source>Program</source>
        <translation>Programm</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="44"/>
        <source>PRG</source>
        <translation>PRG</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="45"/>
        <source>Minimum Ventilation</source>
        <translation>Mindestlüftung</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="45"/>
        <source>mve</source>
        <translation>mve</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="46"/>
        <source>Humidity Reduction (relative)</source>
        <translation>Feuchteabbau (relativ)</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="46"/>
        <source>hrr</source>
        <translation>hrr</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="47"/>
        <source>Humidity Reduction (absolute)</source>
        <translation>Feuchteabbau (absolut)</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="47"/>
        <source>hra</source>
        <translation>hra</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="48"/>
        <source>Active Cooling</source>
        <translation>Aktive Kühlung</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="48"/>
        <source>col</source>
        <translation>col</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="49"/>
        <source>CO2 Reduction</source>
        <translation>CO2-Abbau</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="49"/>
        <source>co2</source>
        <translation>co2</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="50"/>
        <source>CO2 Input</source>
        <translation>CO2-Eintrag</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="50"/>
        <source>CO2Inp</source>
        <translation>CO2Inp</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="51"/>
        <source>CO2 and Humidity Input</source>
        <translation>CO2- und Feuchteeintrag</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="51"/>
        <source>HCO2Inp</source>
        <translation>HCO2Inp</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="52"/>
        <location filename="../src/values/datadict.cpp" line="56"/>
        <source>Humidity Input</source>
        <translation>Feuchteeintrag</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="52"/>
        <source>HumInp</source>
        <translation>HumInp</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="53"/>
        <source>Reduction (mini)</source>
        <translation>Reduzierung (mini)</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="53"/>
        <source>RED</source>
        <translation>RED</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="54"/>
        <source>Defrosting</source>
        <translation>Abtauen</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="54"/>
        <source>dfr</source>
        <translation>dfr</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="55"/>
        <source>Defrosting Supply</source>
        <translation>Abtauen Zuluft</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="55"/>
        <source>dfs</source>
        <translation>dfs</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="56"/>
        <source>hin</source>
        <translation>hin</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="57"/>
        <source>Water Insertion</source>
        <translation>Wassereintrag</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="57"/>
        <source>win</source>
        <translation>win</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="58"/>
        <source>otb</source>
        <translation>otb</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="59"/>
        <source>Deicing outer wall</source>
        <translation>Enteisung Außenwand</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="59"/>
        <source>dow</source>
        <translation>dow</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="60"/>
        <source>HR</source>
        <translation>HR</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="61"/>
        <source>Cooling</source>
        <translation>Kühlen</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="62"/>
        <source>Comfort Level</source>
        <translation>Komfortstufe</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="62"/>
        <source>CL</source>
        <translation>CL</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="63"/>
        <source>m²</source>
        <translation>m²</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="63"/>
        <source>RA</source>
        <translation>RA</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="64"/>
        <location filename="../src/values/datadict.cpp" line="68"/>
        <location filename="../src/values/datadict.cpp" line="92"/>
        <source>m³/h</source>
        <translation>m³/h</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="64"/>
        <source>2A</source>
        <translation>2A</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="65"/>
        <location filename="../src/values/datadict.cpp" line="66"/>
        <location filename="../src/values/datadict.cpp" line="67"/>
        <source>1/min</source>
        <translation>1/min</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="68"/>
        <source>Air flow</source>
        <translation>Luftmenge</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="68"/>
        <location filename="../src/values/datadict.cpp" line="92"/>
        <source>AFL</source>
        <translation>AFL</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="69"/>
        <location filename="../src/values/datadict.cpp" line="70"/>
        <location filename="../src/values/datadict.cpp" line="73"/>
        <location filename="../src/values/datadict.cpp" line="78"/>
        <location filename="../src/values/datadict.cpp" line="79"/>
        <location filename="../src/values/datadict.cpp" line="81"/>
        <source>°C</source>
        <translation>°C</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="70"/>
        <source>Supply temperature</source>
        <translation>Zulufttemperatur</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="70"/>
        <location filename="../src/values/datadict.cpp" line="78"/>
        <source>TSU</source>
        <translation>TSU</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="71"/>
        <location filename="../src/values/datadict.cpp" line="74"/>
        <location filename="../src/values/datadict.cpp" line="84"/>
        <source>%</source>
        <translation>%</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="72"/>
        <source>Extract humidity (abs)</source>
        <translation>Feuchte Abluft (abs)</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="72"/>
        <location filename="../src/values/datadict.cpp" line="80"/>
        <source>g/m³</source>
        <translation>g/m³</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="72"/>
        <source>HEA</source>
        <translation>HEA</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="74"/>
        <source>HOU</source>
        <translation>HOU</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="75"/>
        <source>CO2</source>
        <translation>CO2</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="75"/>
        <source>ppm</source>
        <translation>ppm</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="76"/>
        <location filename="../src/values/datadict.cpp" line="77"/>
        <location filename="../src/values/datadict.cpp" line="152"/>
        <location filename="../src/values/datadict.cpp" line="153"/>
        <source>VOC</source>
        <translation>VOC</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="79"/>
        <source>TSC</source>
        <translation>TSC</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="80"/>
        <source>Outdoor humidity (abs)</source>
        <translation>Feuchte Außenluft (abs)</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="80"/>
        <source>HOA</source>
        <translation>HOA</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="81"/>
        <source>TEH</source>
        <translation>TEH</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="82"/>
        <source>Air pressure</source>
        <translation>Luftdruck</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="82"/>
        <source>hPa</source>
        <translation>hPa</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="82"/>
        <source>APR</source>
        <translation>APR</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="83"/>
        <source>Air density</source>
        <translation>Luftdichte</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="83"/>
        <source>kg/m³</source>
        <translation>kg/m³</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="83"/>
        <source>ADY</source>
        <translation>ADY</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="84"/>
        <source>Heat recovery (rel)</source>
        <translation>Wärmerückgewinnung (rel)</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="84"/>
        <source>HRP</source>
        <translation>HRP</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="85"/>
        <source>Heat recovery (abs)</source>
        <translation>Wärmerückgewinnung (abs)</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="85"/>
        <source>W</source>
        <translation>W</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="85"/>
        <source>HRW</source>
        <translation>HRW</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="86"/>
        <source>Operating hours</source>
        <translation>Betriebsstunden</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="86"/>
        <location filename="../src/values/datadict.cpp" line="87"/>
        <source>h</source>
        <translation>h</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="86"/>
        <source>OPH</source>
        <translation>OPH</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="87"/>
        <source>Filter hours</source>
        <translation>Filterstunden</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="87"/>
        <source>FIH</source>
        <translation>FIH</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="88"/>
        <source>Deicing</source>
        <translation>Enteisung</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="88"/>
        <source>DEI</source>
        <translation>DEI</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="89"/>
        <source>Software version</source>
        <translation>Softwareversion</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="89"/>
        <location filename="../src/values/datadict.cpp" line="122"/>
        <source>SWV</source>
        <translation>SWV</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="90"/>
        <source>Circuit board version</source>
        <translation>Platinenversion</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="90"/>
        <source>CBV</source>
        <translation>CBV</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="91"/>
        <source>Serial number</source>
        <translation>Seriennummer</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="91"/>
        <source>SNR</source>
        <translation>SNR</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="92"/>
        <source>Supply Air flow</source>
        <translation>Zuluftmenge</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="93"/>
        <source>RSSI</source>
        <translation>RSSI</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="94"/>
        <source>LTS</source>
        <translation>LTS</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="95"/>
        <location filename="../src/values/datadict.cpp" line="96"/>
        <location filename="../src/values/datadict.cpp" line="97"/>
        <location filename="../src/values/datadict.cpp" line="98"/>
        <location filename="../src/values/datadict.cpp" line="99"/>
        <location filename="../src/values/datadict.cpp" line="100"/>
        <location filename="../src/values/datadict.cpp" line="101"/>
        <location filename="../src/values/datadict.cpp" line="102"/>
        <location filename="../src/values/datadict.cpp" line="103"/>
        <location filename="../src/values/datadict.cpp" line="104"/>
        <location filename="../src/values/datadict.cpp" line="105"/>
        <location filename="../src/values/datadict.cpp" line="106"/>
        <location filename="../src/values/datadict.cpp" line="107"/>
        <location filename="../src/values/datadict.cpp" line="108"/>
        <location filename="../src/values/datadict.cpp" line="109"/>
        <location filename="../src/values/datadict.cpp" line="110"/>
        <location filename="../src/values/datadict.cpp" line="111"/>
        <location filename="../src/values/datadict.cpp" line="112"/>
        <location filename="../src/values/datadict.cpp" line="113"/>
        <source>H:M</source>
        <translation>H:M</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="95"/>
        <source>DL1</source>
        <translation>DL1</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="96"/>
        <source>DL2</source>
        <translation>DL2</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="97"/>
        <source>DL3</source>
        <translation>DL3</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="98"/>
        <source>DL4</source>
        <translation>DL4</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="99"/>
        <source>DL5</source>
        <translation>DL5</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="100"/>
        <source>Duration sleep mode</source>
        <translation>Dauer Schlafmodus</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="100"/>
        <source>DSM</source>
        <translation>DSM</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="101"/>
        <source>Duration turbo mode</source>
        <translation>Dauer Turbomodus</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="101"/>
        <source>DTM</source>
        <translation>DTM</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="103"/>
        <source>Duration Comfort (1st room)</source>
        <translation>Dauer Komfort (1. Raum)</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="103"/>
        <source>D1R</source>
        <translation>D1R</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="104"/>
        <source>Duration defrosting</source>
        <translation>Dauer Abtauen</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="104"/>
        <source>DDF</source>
        <translation>DDF</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="105"/>
        <source>Duration minimum ventilation</source>
        <translation>Dauer Mindestlüftung</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="105"/>
        <source>DMV</source>
        <translation>DMV</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="106"/>
        <source>Duration water insertion</source>
        <translation>Dauer Wassereintrag</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="106"/>
        <source>DWI</source>
        <translation>DWI</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="107"/>
        <source>Duration humidity input</source>
        <translation>Dauer Feuchteeintrag</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="107"/>
        <source>DHI</source>
        <translation>DHI</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="108"/>
        <source>Duration CO2 insertion</source>
        <translation>Dauer CO2-Eintrag</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="109"/>
        <source>Duration humidity and CO2 insertion</source>
        <translation>Dauer Feuchte- und CO2-Eintrag</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="110"/>
        <source>Duration humidity reduction (absolute)</source>
        <translation>Dauer Feuchteabbau (absolut)</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="110"/>
        <source>DRA</source>
        <translation>DRA</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="111"/>
        <source>Duration humidity reduction (relative)</source>
        <translation>Dauer Feuchteabbau (relativ)</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="111"/>
        <source>DRR</source>
        <translation>DRR</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="112"/>
        <source>Duration cooling</source>
        <translation>Dauer Kühlen</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="112"/>
        <source>DCO</source>
        <translation>DCO</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="113"/>
        <source>Duration CO2 reduction</source>
        <translation>Dauer CO2-Abbau</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="114"/>
        <source>Humidity reduction mode used</source>
        <translation>Feuchteabbau genutzt</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="114"/>
        <source>HRU</source>
        <translation>HRU</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="115"/>
        <source>Humidity reduction mode not used</source>
        <translation>Feuchteabbau nicht genutzt</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="115"/>
        <source>HRN</source>
        <translation>HRN</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="116"/>
        <source>Extracted energy</source>
        <translation>Abgeführte Energie</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="116"/>
        <location filename="../src/values/datadict.cpp" line="117"/>
        <location filename="../src/values/datadict.cpp" line="118"/>
        <location filename="../src/values/datadict.cpp" line="119"/>
        <source>Wh</source>
        <translation>Wh</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="116"/>
        <source>EXE</source>
        <translation>EXE</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="117"/>
        <source>Recovered energy</source>
        <translation>Zurückgewonnene Energie</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="117"/>
        <source>REE</source>
        <translation>REE</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="118"/>
        <source>Power consumption</source>
        <translation>Leistungsaufnahme</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="118"/>
        <source>PCO</source>
        <translation>PCO</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="119"/>
        <source>Cooling energy</source>
        <translation>Kühlenergie</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="119"/>
        <source>COE</source>
        <translation>COE</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="120"/>
        <source>Air exchanged</source>
        <translation>Ausgetauschte Luft</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="120"/>
        <source>m³</source>
        <translation>m³</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="120"/>
        <source>AEX</source>
        <translation>AEX</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="121"/>
        <source>Water removed</source>
        <translation>Abgeführtes Wasser</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="121"/>
        <source>g</source>
        <translation>g</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="121"/>
        <source>WAR</source>
        <translation>WAR</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="122"/>
        <source>Software Version</source>
        <translation>Softwareversion</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="123"/>
        <source>Error state</source>
        <translation>Fehlerzustand</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="123"/>
        <source>ES</source>
        <translation>ES</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="124"/>
        <source>ok</source>
        <translation>ok</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="127"/>
        <source>general error</source>
        <translation>allgemeiner Fehler</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="127"/>
        <source>ge1</source>
        <translation>ge1</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="143"/>
        <source>general error 2</source>
        <translation>allgemeiner Fehler 2</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="143"/>
        <source>ge2</source>
        <translation>ge2</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="148"/>
        <source>sensor error</source>
        <translation>Sensorfehler</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="148"/>
        <source>se</source>
        <translation>se</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="152"/>
        <source>Extract air quality (uncor.)</source>
        <translation>Abluftqualität (unkorr.)</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="152"/>
        <source>QEU</source>
        <translation>QEU</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="153"/>
        <source>Supply air quality  (uncor.)</source>
        <translation>Zuluftqualität  (unkorr.)</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="153"/>
        <source> QSU</source>
        <translation> QSU</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="154"/>
        <source>EFN</source>
        <translation>EFN</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="155"/>
        <source>ELN</source>
        <translation>ELN</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="156"/>
        <source>ECO</source>
        <translation>ECO</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="157"/>
        <source>VPE</source>
        <translation>VPE</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="158"/>
        <source>VBY</source>
        <translation>VBY</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="159"/>
        <source>VBA</source>
        <translation>VBA</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="160"/>
        <source>VPS</source>
        <translation>VPS</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="161"/>
        <source>TPE</source>
        <translation>TPE</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="162"/>
        <source>TBY</source>
        <translation>TBY</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="163"/>
        <source>TBA</source>
        <translation>TBA</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="164"/>
        <source>TPS</source>
        <translation>TPS</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="165"/>
        <source>FSF</source>
        <translation>FSF</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="166"/>
        <source>FEF</source>
        <translation>FEF</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="167"/>
        <source>DIP</source>
        <translation>DIP</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="168"/>
        <source>DIP2</source>
        <translation>DIP2</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="169"/>
        <source>FSC</source>
        <translation>FSC</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="170"/>
        <source>FEC</source>
        <translation>FEC</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="171"/>
        <source>CSU</source>
        <translation>CSU</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="172"/>
        <source>CFA</source>
        <translation>CFA</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="173"/>
        <source>NoCO2Sensor</source>
        <translation>KeinCO2Sensor</translation>
    </message>
    <message>
        <location filename="../src/values/datadict.cpp" line="173"/>
        <source>NOCO2</source>
        <translation>NOCO2</translation>
    </message>
</context>
<context>
    <name>CFanBase</name>
    <message>
        <location filename="../src/device/fanbase.cpp" line="57"/>
        <source>Please connect your application via the USB cable.</source>
        <translation>Bitte verbinden Sie Ihr Gerät über das USB-Kabel.</translation>
    </message>
    <message>
        <location filename="../src/device/fanbase.cpp" line="65"/>
        <source>Checking for new devices...</source>
        <translation>Suche nach neuen Geräten...</translation>
    </message>
    <message>
        <location filename="../src/device/fanbase.cpp" line="80"/>
        <source>Unable to open COM port for %1.
Please switch your %2 off and then on again.</source>
        <translation>Der COM-Port für %1 kann nicht geöffnet werden.
Bitte schalten Sie Ihr %2 aus und wieder ein.</translation>
    </message>
    <message>
        <location filename="../src/device/fanbase.cpp" line="134"/>
        <source>%1 did not respond - </source>
        <translation>%1 antwortet nicht - </translation>
    </message>
    <message>
        <location filename="../src/device/fanbase.cpp" line="191"/>
        <source>%1 did not respond! </source>
        <translation>%1 antwortet nicht! </translation>
    </message>
    <message>
        <location filename="../src/device/fanbase.cpp" line="196"/>
        <source>%1 detected!</source>
        <translation>%1 erkannt!</translation>
    </message>
    <message>
        <location filename="../src/device/fanbase.cpp" line="199"/>
        <location filename="../src/device/fanbase.cpp" line="211"/>
        <source> The %1 did not (correctly) respond - </source>
        <translation> %1 hat nicht (korrekt) geantwortet - </translation>
    </message>
    <message>
        <location filename="../src/device/fanbase.cpp" line="204"/>
        <source>- The %1 responded with the wrong packet - </source>
        <translation>- %1 hat mit dem falschen Paket geantwortet - </translation>
    </message>
    <message>
        <location filename="../src/device/fanbase_flash.cpp" line="17"/>
        <source>Error sending data to %1.</source>
        <translation>Fehler beim Senden der Daten an %1.</translation>
    </message>
    <message>
        <location filename="../src/device/fanbase_flash.cpp" line="59"/>
        <source>The update process failed. Please switch off your %1.
Then switch in on again and retry the update.</source>
        <translation>Das Update ist fehlgeschlagen. Bitte schalten Sie Ihr %1 aus.
Schalten Sie es dann wieder ein und wiederholen Sie das Update.</translation>
    </message>
    <message>
        <location filename="../src/device/fanbase_flash.cpp" line="141"/>
        <location filename="../src/device/fanbase_flash.cpp" line="166"/>
        <source>%1 did not (correctly) respond - </source>
        <translation>%1 hat nicht (korrekt) geantwortet - </translation>
    </message>
    <message>
        <location filename="../src/device/fanbase_flash.cpp" line="148"/>
        <location filename="../src/device/fanbase_flash.cpp" line="171"/>
        <source>%1 did respond with the wrong packet - </source>
        <translation>%1 hat mit dem falschen Paket geantwortet - </translation>
    </message>
    <message>
        <location filename="../src/device/fanbase_flash.cpp" line="194"/>
        <source>Unable to set startup mode for application.</source>
        <translation>Der Startmodus der Applikation kann nicht gesetzt werden.</translation>
    </message>
</context>
</TS>
