#!/bin/sh
# Each shipped library exports exactly the functions of its header, nothing else.
set -eu
dir=$1
check() {
    actual=$(nm -D --defined-only "$dir/$1" | awk '$2 ~ /^[A-Z]$/ {print $3}' | sort | tr '\n' ' ')
    expected=$(echo "$2" | tr ' ' '\n' | sort | tr '\n' ' ')
    if [ "$actual" != "$expected" ]; then
        echo "$1 exports: $actual"
        echo "expected:   $expected"
        exit 1
    fi
    echo "$1: ok"
}
check libZQ0093.so "InitVariant InitLanguage ReadMainRecord DrawData OnMouseMove OnLButtonUp OnLButtonDown DeviceRemoveDone GetUnit SetUnit ShowSetting ShowAlarm ShowMaxMin"
check libstalink.so "UsbReadRecord UsbReadMaxMin UsbReadAlarm UsbWriteAlarm UsbReadParam UsbWriteParam UsbReadGraph UsbClearMaxMin"
check libairlink.so "Hex2Bcd Bcd2Hex"
