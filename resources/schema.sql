-- The history database Nimbary.db: one Device row per station (download
-- bookmark, unit codes, rain accumulators) and one Record row per history
-- record. Compiled into the program; run on every open, so it only adds what
-- is missing. Column order is binding order.
--
-- Types: INTEGER for the 32-bit integers, REAL for doubles, Record.RecTime as
-- a REAL OLE Automation date. DevID holds the station id as a signed 32-bit
-- number (0x80000001 is -2147483647) in every table and every statement.

CREATE TABLE IF NOT EXISTS Device (
    DevID INTEGER,
    FirstBlock INTEGER,
    CurrBlock INTEGER,
    CurrRecord INTEGER,
    TickTime INTEGER,
    RecTime INTEGER,
    TempUnit INTEGER,
    BaroUnit INTEGER,
    WindUnit INTEGER,
    RainUnit INTEGER,
    LightUnit INTEGER,
    RainTime1 INTEGER,
    RainTime2 INTEGER,
    RainTime3 INTEGER,
    RainTime4 INTEGER,
    RainTime5 INTEGER,
    RainTime6 INTEGER,
    RainTime7 INTEGER,
    RainTime8 INTEGER,
    Rain1 REAL,
    Rain2 REAL,
    Rain3 REAL,
    Rain4 REAL,
    Rain5 REAL,
    Rain6 REAL,
    Rain7 REAL,
    Rain8 REAL,
    Description TEXT
);

CREATE UNIQUE INDEX IF NOT EXISTS DeviceByDevID ON Device (DevID);

CREATE TABLE IF NOT EXISTS Record (
    DevID INTEGER,
    RecTime REAL,
    InTemp REAL,
    InHumi INTEGER,
    Ch1Temp REAL,
    Ch2Temp REAL,
    Ch3Temp REAL,
    Ch4Temp REAL,
    Ch5Temp REAL,
    Ch6Temp REAL,
    Ch7Temp REAL,
    Ch8Temp REAL,
    Ch1Humi INTEGER,
    Ch2Humi INTEGER,
    Ch3Humi INTEGER,
    Ch4Humi INTEGER,
    Ch5Humi INTEGER,
    Ch6Humi INTEGER,
    Ch7Humi INTEGER,
    Ch8Humi INTEGER,
    Ch1DewPoint REAL,
    Ch2DewPoint REAL,
    Ch3DewPoint REAL,
    Ch4DewPoint REAL,
    Ch5DewPoint REAL,
    Ch6DewPoint REAL,
    Ch7DewPoint REAL,
    Ch8DewPoint REAL,
    Ch1FeelLike REAL,
    Ch2FeelLike REAL,
    Ch3FeelLike REAL,
    Ch4FeelLike REAL,
    Ch5FeelLike REAL,
    Ch6FeelLike REAL,
    Ch7FeelLike REAL,
    Ch8FeelLike REAL,
    AbsBaro REAL,
    RelBaro REAL,
    Wind REAL,
    Gust REAL,
    WindDir INTEGER,
    Rain1 REAL,
    Rain2 REAL,
    Rain3 REAL,
    Rain4 REAL,
    Rain5 REAL,
    Rain6 REAL,
    Rain7 REAL,
    Rain8 REAL
);

-- The browser asks for one station's records in a time range, in time order.
CREATE INDEX IF NOT EXISTS RecordByDevTime ON Record (DevID, RecTime);

-- The summaries aggregate a station's records by day (the whole part of
-- RecTime), each day's records in time order, without sorting them first.
CREATE INDEX IF NOT EXISTS RecordByDevDay ON Record (DevID, CAST(RecTime AS INTEGER), RecTime);

-- The gaps downloads found in a station's records and could not fill: the
-- times (station seconds) of the stored records either side.
CREATE TABLE IF NOT EXISTS Gap (
    DevID INTEGER,
    FromTime INTEGER,
    ToTime INTEGER
);

-- What an MQTT broker has acknowledged of a station's records, per broker
-- (scheme, host, port) and topic prefix: the time of the newest record of
-- the unbroken run the broker answered. Publishing carries on after it.
CREATE TABLE IF NOT EXISTS MqttBookmark (
    DevID INTEGER,
    Broker TEXT,
    Topic TEXT,
    RecTime REAL,
    PRIMARY KEY (DevID, Broker, Topic)
);
