<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>AdditionFunction</name>
    <message>
        <source>Dialog</source>
        <translation>Dialog</translation>
    </message>
    <message>
        <source>常用功能</source>
        <translation>Common tools</translation>
    </message>
    <message>
        <source>校验和计算</source>
        <translation>Checksum</translation>
    </message>
    <message>
        <source>Hex</source>
        <translation>Hex</translation>
    </message>
    <message>
        <source>Ascii</source>
        <translation>ASCII</translation>
    </message>
    <message>
        <source>原码累加和</source>
        <translation>Sum</translation>
    </message>
    <message>
        <source>反码累加和</source>
        <translation>One&apos;s complement sum</translation>
    </message>
    <message>
        <source>异或累加和</source>
        <translation>XOR sum</translation>
    </message>
    <message>
        <source>结果：0x</source>
        <translation>Result: 0x</translation>
    </message>
    <message>
        <source>+ (-0xFF)：</source>
        <translation>+ (-0xFF):</translation>
    </message>
    <message>
        <source>立即计算</source>
        <translation>Calculate</translation>
    </message>
    <message>
        <source>字符/16进制转换</source>
        <translation>Text/hex conversion</translation>
    </message>
    <message>
        <source>16进制显示</source>
        <translation>As hex</translation>
    </message>
    <message>
        <source>字符串显示</source>
        <translation>As text</translation>
    </message>
    <message>
        <source>MCU功能</source>
        <translation>MCU</translation>
    </message>
    <message>
        <source>MCU 串口升级</source>
        <translation>MCU serial upgrade</translation>
    </message>
    <message>
        <source>自动下载 - Tip：请在 &quot;文件区&quot; 指定文件升级包的路径 - 类型：</source>
        <translation>Automatic download - Tip: choose the upgrade file in the &quot;File area&quot; - Type:</translation>
    </message>
    <message>
        <source>密钥：</source>
        <translation>Key:</translation>
    </message>
    <message>
        <source>PLUMB24680QRSTU1357908642VWXYZ97531DEFGH</source>
        <translation>PLUMB24680QRSTU1357908642VWXYZ97531DEFGH</translation>
    </message>
    <message>
        <source>帧格式功能</source>
        <translation>Frames</translation>
    </message>
    <message>
        <source>帧格式封装/解封</source>
        <translation>Frame encapsulation/decapsulation</translation>
    </message>
    <message>
        <source>封装前的数据：</source>
        <translation>Data before encapsulation:</translation>
    </message>
    <message>
        <source>封装后的数据：</source>
        <translation>Data after encapsulation:</translation>
    </message>
    <message>
        <source>规则设置：</source>
        <translation>Rules:</translation>
    </message>
    <message>
        <source>7E</source>
        <translation>7E</translation>
    </message>
    <message>
        <source>=</source>
        <translation>=</translation>
    </message>
    <message>
        <source>7D</source>
        <translation>7D</translation>
    </message>
    <message>
        <source>+</source>
        <translation>+</translation>
    </message>
    <message>
        <source>02</source>
        <translation>02</translation>
    </message>
    <message>
        <source>01</source>
        <translation>01</translation>
    </message>
    <message>
        <source>立即解封</source>
        <translation>Decapsulate</translation>
    </message>
    <message>
        <source>立即封装</source>
        <translation>Encapsulate</translation>
    </message>
    <message>
        <source>设备功能</source>
        <translation>Device</translation>
    </message>
    <message>
        <source> 串口通信(0xFE)</source>
        <translation> Serial communication (0xFE)</translation>
    </message>
    <message>
        <source>发送区数据(十六进制  最大长度255字节)：</source>
        <translation>Data to send (hex, at most 255 bytes):</translation>
    </message>
    <message>
        <source>主机版本</source>
        <translation>Host version</translation>
    </message>
    <message>
        <source>复位MCU</source>
        <translation>Reset MCU</translation>
    </message>
    <message>
        <source>复位信息</source>
        <translation>Reset info</translation>
    </message>
    <message>
        <source>直接发送</source>
        <translation>Send now</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>接收区数据(十六进制)：</source>
        <translation>Received data (hex):</translation>
    </message>
    <message>
        <source>接收区数据(有效区域字符显示)：</source>
        <translation>Received data (payload as text):</translation>
    </message>
    <message>
        <source>Quillon - 附加功能</source>
        <translation>Quillon - Extra functions</translation>
    </message>
    <message>
        <source>1 - 下引导程序 HEX文件</source>
        <translation>1 - Boot loader HEX file</translation>
    </message>
    <message>
        <source>2 - 下载主程序 HEX文件</source>
        <translation>2 - Main program HEX file</translation>
    </message>
    <message>
        <source>3 - 下载主程序 BIN文件</source>
        <translation>3 - Main program BIN file</translation>
    </message>
    <message>
        <source>4 - 下载整合字库文件</source>
        <translation>4 - Combined font file</translation>
    </message>
    <message>
        <source>5 - 擦除用户参数扇区</source>
        <translation>5 - Erase user parameter sector</translation>
    </message>
    <message>
        <source>warning</source>
        <translation>warning</translation>
    </message>
    <message>
        <source>校验和计算：请输入待校验的数据！	</source>
        <translation>Checksum: please enter the data to check!	</translation>
    </message>
    <message>
        <source>解封前的数据：请输入数据！	</source>
        <translation>Data before decapsulation: please enter data!	</translation>
    </message>
    <message>
        <source>解封前的数据：请输入正确格式的数据！	</source>
        <translation>Data before decapsulation: please enter data in the right format!	</translation>
    </message>
    <message>
        <source>解封后的数据：请输入数据！	</source>
        <translation>Data after decapsulation: please enter data!	</translation>
    </message>
    <message>
        <source>解封后的数据：请输入正确格式的数据！	</source>
        <translation>Data after decapsulation: please enter data in the right format!	</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>发送区内容为空	</source>
        <translation>The data to send is empty	</translation>
    </message>
    <message>
        <source>不是有效的HEX字符组合，请输入(&quot;0-9&quot;,&quot;A-F&quot;,&quot;a-f&quot;)	</source>
        <translation>Not valid hex, please enter (&quot;0-9&quot;,&quot;A-F&quot;,&quot;a-f&quot;)	</translation>
    </message>
    <message>
        <source>发送区数据超过255字节	</source>
        <translation>The data to send is longer than 255 bytes	</translation>
    </message>
</context>
<context>
    <name>AdvancedSend</name>
    <message>
        <source>Dialog</source>
        <translation>Dialog</translation>
    </message>
    <message>
        <source> Hex</source>
        <translation> Hex</translation>
    </message>
    <message>
        <source>字符串</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>点击发送</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>延时(ms)</source>
        <translation>Delay (ms)</translation>
    </message>
    <message>
        <source>统一轮发，间隔(ms)：</source>
        <translation>Cycle all, every (ms):</translation>
    </message>
    <message>
        <source>开始发送</source>
        <translation>Start sending</translation>
    </message>
    <message>
        <source>Quillon - 高级发送</source>
        <translation>Quillon - Advanced send</translation>
    </message>
    <message>
        <source>warning</source>
        <translation>warning</translation>
    </message>
    <message>
        <source>格式错误：(%1)%2	
请输入16进制的格式数据！	</source>
        <translation>Format error: (%1)%2	
Please enter data in hex!	</translation>
    </message>
</context>
<context>
    <name>AdvancedSendItem</name>
    <message>
        <source>warning</source>
        <translation>warning</translation>
    </message>
    <message>
        <source>内容错误：请输入待发的数据！	</source>
        <translation>Content error: please enter the data to send!	</translation>
    </message>
    <message>
        <source>格式错误：%1	
请输入16进制的格式数据！	</source>
        <translation>Format error: %1	
Please enter data in hex!	</translation>
    </message>
</context>
<context>
    <name>ControlLines</name>
    <message>
        <source>此串口不支持控制线（如虚拟串口、部分USB转换器）</source>
        <translation>This port has no control lines (virtual ports, some USB adapters)</translation>
    </message>
    <message>
        <source>RTS/CTS流控时RTS由驱动控制</source>
        <translation>With RTS/CTS flow control the driver controls RTS</translation>
    </message>
</context>
<context>
    <name>ExtraSettingDialog</name>
    <message>
        <source>Dialog</source>
        <translation>Dialog</translation>
    </message>
    <message>
        <source>主窗口设置</source>
        <translation>Main window</translation>
    </message>
    <message>
        <source>换行配置</source>
        <translation>Line breaks</translation>
    </message>
    <message>
        <source>前置自定义换行：0x</source>
        <translation>Delimiter before frame: 0x</translation>
    </message>
    <message>
        <source>后置自定义换行：0x</source>
        <translation>Delimiter after frame: 0x</translation>
    </message>
    <message>
        <source>换行符换行</source>
        <translation>At newline</translation>
    </message>
    <message>
        <source>帧时间间隔换行(ms)：</source>
        <translation>After a pause (ms):</translation>
    </message>
    <message>
        <source>关闭配置</source>
        <translation>Close button</translation>
    </message>
    <message>
        <source>退出程序</source>
        <translation>Quit the program</translation>
    </message>
    <message>
        <source>最小化到托盘区</source>
        <translation>Minimize to tray</translation>
    </message>
    <message>
        <source>其他设置</source>
        <translation>Other settings</translation>
    </message>
    <message>
        <source>其他配置</source>
        <translation>Other options</translation>
    </message>
    <message>
        <source>启用窗口顶置</source>
        <translation>Keep window on top</translation>
    </message>
    <message>
        <source>启动自动检测更新</source>
        <translation>Check for updates at start</translation>
    </message>
    <message>
        <source>启用打印日志</source>
        <translation>Write debug log</translation>
    </message>
    <message>
        <source>串口断开（如开发板复位后重新枚举）时不弹出警告，等待同一设备回来后以相同参数重新打开</source>
        <translation>When the port disappears (such as a board re-enumerating after a reset), do not warn: wait for the same device and reopen it with the same parameters</translation>
    </message>
    <message>
        <source>自动重连</source>
        <translation>Reconnect automatically</translation>
    </message>
    <message>
        <source>文本编码</source>
        <translation>Text encoding</translation>
    </message>
    <message>
        <source>接收显示与发送文本使用的编码，从下一个收到的字节起生效</source>
        <translation>Encoding of received and sent text; applies from the next received byte</translation>
    </message>
    <message>
        <source>文本显示时把ANSI转义序列解析为颜色，不显示控制字符；关闭后按原样显示（十六进制显示总是原始字节）</source>
        <translation>Show ANSI escape sequences in text as colours and hide the control characters; when off they are shown as they are (hex display always shows the raw bytes)</translation>
    </message>
    <message>
        <source>解析ANSI颜色</source>
        <translation>ANSI colours</translation>
    </message>
    <message>
        <source>实时记录文件上限(MB)</source>
        <translation>Live record file limit (MB)</translation>
    </message>
    <message>
        <source>Quillon - 个性设置</source>
        <translation>Quillon - Preferences</translation>
    </message>
</context>
<context>
    <name>FindBar</name>
    <message>
        <source>查找</source>
        <translation>Find</translation>
    </message>
    <message>
        <source>上一个</source>
        <translation>Previous</translation>
    </message>
    <message>
        <source>下一个</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>区分大小写</source>
        <translation>Match case</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>查找(F)</source>
        <translation>Find (F)</translation>
    </message>
    <message>
        <source>%1/%2</source>
        <translation>%1/%2</translation>
    </message>
</context>
<context>
    <name>KeyHighlightDialog</name>
    <message>
        <source>Dialog</source>
        <translation>Dialog</translation>
    </message>
    <message>
        <source>关键词高亮</source>
        <translation>Keyword highlighting</translation>
    </message>
    <message>
        <source>总共支持16个关键词：</source>
        <translation>Up to 16 keywords:</translation>
    </message>
    <message>
        <source>保存配置</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>注意: 1.关键词全匹配(区别大小写)才会高亮</source>
        <translation>Note: 1. Whole words only, case-sensitive</translation>
    </message>
    <message>
        <source>      2.支持正则表达式方式的匹配高亮</source>
        <translation>      2. Keywords may be regular expressions</translation>
    </message>
    <message>
        <source>启用</source>
        <translation>On</translation>
    </message>
    <message>
        <source>背景色</source>
        <translation>Colour</translation>
    </message>
    <message>
        <source>关键词</source>
        <translation>Keyword</translation>
    </message>
    <message>
        <source>Quillon - 关键词高亮</source>
        <translation>Quillon - Keyword highlighting</translation>
    </message>
    <message>
        <source>选择高亮的背景色</source>
        <translation>Choose the highlight colour</translation>
    </message>
    <message>
        <source>关键字高亮</source>
        <translation>Keyword highlight</translation>
    </message>
    <message>
        <source>保存配置成功！<byte value="xd"/>
保存路径：%1	</source>
        <translation>Settings saved!<byte value="xd"/>
File: %1	</translation>
    </message>
</context>
<context>
    <name>LineErrors</name>
    <message>
        <source>⚠ %1 线路错误：%2（此处可能丢失数据）</source>
        <translation>⚠ %1 line errors: %2 (data may be lost here)</translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
    <message>
        <source>线路错误：%1</source>
        <translation>Line errors: %1</translation>
    </message>
</context>
<context>
    <name>LogFilterCore</name>
    <message>
        <source>&lt;strong&gt;%1&lt;/strong&gt;</source>
        <translation>&lt;strong&gt;%1&lt;/strong&gt;</translation>
    </message>
    <message>
        <source>…（%1 行未过滤即被丢弃）…</source>
        <translation>… (%1 lines dropped unfiltered) …</translation>
    </message>
</context>
<context>
    <name>LogFilterDialog</name>
    <message>
        <source>Dialog</source>
        <translation>Dialog</translation>
    </message>
    <message>
        <source>关键字配置</source>
        <translation>Keywords</translation>
    </message>
    <message>
        <source>关键字1：</source>
        <translation>Keyword 1:</translation>
    </message>
    <message>
        <source>显示</source>
        <translation>Show</translation>
    </message>
    <message>
        <source>相邻</source>
        <translation>around</translation>
    </message>
    <message>
        <source>向上</source>
        <translation>above</translation>
    </message>
    <message>
        <source>向下</source>
        <translation>below</translation>
    </message>
    <message>
        <source>行数：</source>
        <translation>Lines:</translation>
    </message>
    <message>
        <source>关键字2：</source>
        <translation>Keyword 2:</translation>
    </message>
    <message>
        <source>关键字3：</source>
        <translation>Keyword 3:</translation>
    </message>
    <message>
        <source>关键字4：</source>
        <translation>Keyword 4:</translation>
    </message>
    <message>
        <source>显示区</source>
        <translation>Matching lines</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Quillon - 日志过滤</source>
        <translation>Quillon - Log filter</translation>
    </message>
</context>
<context>
    <name>LogSharedDialog</name>
    <message>
        <source>Dialog</source>
        <translation>Dialog</translation>
    </message>
    <message>
        <source>日志共享</source>
        <translation>Log sharing</translation>
    </message>
    <message>
        <source>开启日志共享功能</source>
        <translation>Enable log sharing</translation>
    </message>
    <message>
        <source>接收 - 监听 IP：</source>
        <translation>Receive - listen on IP:</translation>
    </message>
    <message>
        <source>端口号：</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>11223</source>
        <translation>11223</translation>
    </message>
    <message>
        <source>发送 - 传至 IP：</source>
        <translation>Send - forward to IP:</translation>
    </message>
    <message>
        <source>192.168.1.100</source>
        <translation>192.168.1.100</translation>
    </message>
    <message>
        <source>允许的来源 IP：</source>
        <translation>Allowed source IPs:</translation>
    </message>
    <message>
        <source>本机以外的来源首次连接时需确认；这里列出的地址不再询问（用逗号分隔）</source>
        <translation>A source other than this computer must be confirmed when it first connects; the addresses listed here are not asked about (separate them with commas)</translation>
    </message>
    <message>
        <source>仅本机；其他来源连接时询问</source>
        <translation>This computer only; others are asked about</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Quillon - 日志共享功能</source>
        <translation>Quillon - Log sharing</translation>
    </message>
    <message>
        <source>[%1:%2] 断开连接	</source>
        <translation>[%1:%2] disconnected	</translation>
    </message>
    <message>
        <source>监听错误: %1	</source>
        <translation>Listen error: %1	</translation>
    </message>
    <message>
        <source>是否接受来自 [%1:%2] 的日志共享连接？
只接受你信任的设备，本次运行中不再询问此地址。	</source>
        <translation>Accept the log-sharing connection from [%1:%2]?
Only accept devices you trust; this address is not asked about again in this run.	</translation>
    </message>
    <message>
        <source>来自 [%1:%2] 连接失败，已有连接进行中	</source>
        <translation>Connection from [%1:%2] refused: another connection is in progress	</translation>
    </message>
    <message>
        <source>60分钟未收到 [%1:%2] 的数据，主动断开连接	</source>
        <translation>No data from [%1:%2] for 60 minutes, disconnected	</translation>
    </message>
    <message>
        <source>接受错误: %1	</source>
        <translation>Accept error: %1	</translation>
    </message>
    <message>
        <source>连接到 %1:%2 出错	</source>
        <translation>Error connecting to %1:%2	</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Quillon</source>
        <translation>Quillon</translation>
    </message>
    <message>
        <source>控制区</source>
        <translation>Controls</translation>
    </message>
    <message>
        <source>串口号：</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>波特率：</source>
        <translation>Baud rate:</translation>
    </message>
    <message>
        <source>110 bps</source>
        <translation>110 bps</translation>
    </message>
    <message>
        <source>300 bps</source>
        <translation>300 bps</translation>
    </message>
    <message>
        <source>600 bps</source>
        <translation>600 bps</translation>
    </message>
    <message>
        <source>1200 bps</source>
        <translation>1200 bps</translation>
    </message>
    <message>
        <source>2400 bps</source>
        <translation>2400 bps</translation>
    </message>
    <message>
        <source>4800 bps</source>
        <translation>4800 bps</translation>
    </message>
    <message>
        <source>9600 bps</source>
        <translation>9600 bps</translation>
    </message>
    <message>
        <source>19200 bps</source>
        <translation>19200 bps</translation>
    </message>
    <message>
        <source>38400 bps</source>
        <translation>38400 bps</translation>
    </message>
    <message>
        <source>57600 bps</source>
        <translation>57600 bps</translation>
    </message>
    <message>
        <source>115200 bps</source>
        <translation>115200 bps</translation>
    </message>
    <message>
        <source>230400 bps</source>
        <translation>230400 bps</translation>
    </message>
    <message>
        <source>460800 bps</source>
        <translation>460800 bps</translation>
    </message>
    <message>
        <source>921600 bps</source>
        <translation>921600 bps</translation>
    </message>
    <message>
        <source>1000000 bps</source>
        <translation>1000000 bps</translation>
    </message>
    <message>
        <source>1500000 bps</source>
        <translation>1500000 bps</translation>
    </message>
    <message>
        <source>2000000 bps</source>
        <translation>2000000 bps</translation>
    </message>
    <message>
        <source>数据位：</source>
        <translation>Data bits:</translation>
    </message>
    <message>
        <source>5 bit</source>
        <translation>5 bit</translation>
    </message>
    <message>
        <source>6 bit</source>
        <translation>6 bit</translation>
    </message>
    <message>
        <source>7 bit</source>
        <translation>7 bit</translation>
    </message>
    <message>
        <source>8 bit</source>
        <translation>8 bit</translation>
    </message>
    <message>
        <source>校验位：</source>
        <translation>Parity:</translation>
    </message>
    <message>
        <source>None</source>
        <translation>None</translation>
    </message>
    <message>
        <source>Odd</source>
        <translation>Odd</translation>
    </message>
    <message>
        <source>Even</source>
        <translation>Even</translation>
    </message>
    <message>
        <source>Mark</source>
        <translation>Mark</translation>
    </message>
    <message>
        <source>Space</source>
        <translation>Space</translation>
    </message>
    <message>
        <source>停止位：</source>
        <translation>Stop bits:</translation>
    </message>
    <message>
        <source>1 bit</source>
        <translation>1 bit</translation>
    </message>
    <message>
        <source>1.5 bit</source>
        <translation>1.5 bit</translation>
    </message>
    <message>
        <source>2 bit</source>
        <translation>2 bit</translation>
    </message>
    <message>
        <source>流控：</source>
        <translation>Flow control:</translation>
    </message>
    <message>
        <source>流控方式，打开串口时生效；XON/XOFF时收到的0x11、0x13由驱动当作流控字符，不进入接收数据</source>
        <translation>Flow control, applied when the port opens; with XON/XOFF the driver takes received 0x11 and 0x13 as flow control characters and they do not reach the received data</translation>
    </message>
    <message>
        <source>无</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>RTS/CTS</source>
        <translation>RTS/CTS</translation>
    </message>
    <message>
        <source>XON/XOFF</source>
        <translation>XON/XOFF</translation>
    </message>
    <message>
        <source>DTR（数据终端就绪）：勾选为置位，立即生效</source>
        <translation>DTR (Data Terminal Ready): checked is asserted, applies at once</translation>
    </message>
    <message>
        <source>DTR</source>
        <translation>DTR</translation>
    </message>
    <message>
        <source>RTS（请求发送）：勾选为置位，立即生效</source>
        <translation>RTS (Request To Send): checked is asserted, applies at once</translation>
    </message>
    <message>
        <source>RTS</source>
        <translation>RTS</translation>
    </message>
    <message>
        <source>CTS（清除发送）：绿色为有效</source>
        <translation>CTS (Clear To Send): green is active</translation>
    </message>
    <message>
        <source>●CTS</source>
        <translation>●CTS</translation>
    </message>
    <message>
        <source>DSR（数据设备就绪）：绿色为有效</source>
        <translation>DSR (Data Set Ready): green is active</translation>
    </message>
    <message>
        <source>●DSR</source>
        <translation>●DSR</translation>
    </message>
    <message>
        <source>DCD（载波检测）：绿色为有效</source>
        <translation>DCD (Carrier Detect): green is active</translation>
    </message>
    <message>
        <source>●DCD</source>
        <translation>●DCD</translation>
    </message>
    <message>
        <source>RI（振铃指示）：绿色为有效</source>
        <translation>RI (Ring Indicator): green is active</translation>
    </message>
    <message>
        <source>●RI</source>
        <translation>●RI</translation>
    </message>
    <message>
        <source>复位</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>进入下载模式</source>
        <translation>Boot mode</translation>
    </message>
    <message>
        <source>打开时不置位DTR/RTS</source>
        <translation>Release DTR/RTS on open</translation>
    </message>
    <message>
        <source>打开串口</source>
        <translation>Open port</translation>
    </message>
    <message>
        <source>暂停接收</source>
        <translation>Pause receiving</translation>
    </message>
    <message>
        <source>保存数据</source>
        <translation>Save data</translation>
    </message>
    <message>
        <source>清空窗口</source>
        <translation>Clear window</translation>
    </message>
    <message>
        <source>在行首显示接收时间</source>
        <translation>Show time stamps</translation>
    </message>
    <message>
        <source>以16进制显示（HEX）</source>
        <translation>Show as hex</translation>
    </message>
    <message>
        <source>接收区数据自动清空</source>
        <translation>Clear received data</translation>
    </message>
    <message>
        <source>   超过</source>
        <translation>   above</translation>
    </message>
    <message>
        <source>行</source>
        <translation>lines</translation>
    </message>
    <message>
        <source>自动保存数据到文件</source>
        <translation>Save to file before clearing</translation>
    </message>
    <message>
        <source>每收到一行即写入 Record 文件夹中的实时记录文件</source>
        <translation>Write every received line to a live record file in the Record folder</translation>
    </message>
    <message>
        <source>实时保存到文件</source>
        <translation>Live record to file</translation>
    </message>
    <message>
        <source>高级</source>
        <translation>Advanced</translation>
    </message>
    <message>
        <source>快捷键提示：</source>
        <translation>Shortcuts:</translation>
    </message>
    <message>
        <source>F1：查看帮助提示;</source>
        <translation>F1: help;</translation>
    </message>
    <message>
        <source>F2：打开Record目录;</source>
        <translation>F2: Record folder;</translation>
    </message>
    <message>
        <source>F8：开始发送文件;</source>
        <translation>F8: send file;</translation>
    </message>
    <message>
        <source>F12：保存接收的数据;</source>
        <translation>F12: save data;</translation>
    </message>
    <message>
        <source>启用关键词高亮</source>
        <translation>Highlight keywords</translation>
    </message>
    <message>
        <source>配置</source>
        <translation>Set up</translation>
    </message>
    <message>
        <source>发送时补回车换行</source>
        <translation>Append CR LF</translation>
    </message>
    <message>
        <source>以16进制发送（HEX）</source>
        <translation>Send as hex</translation>
    </message>
    <message>
        <source>自动发送</source>
        <translation>Auto send</translation>
    </message>
    <message>
        <source>ms</source>
        <translation>ms</translation>
    </message>
    <message>
        <source>附加功能</source>
        <translation>Extra functions</translation>
    </message>
    <message>
        <source>高级发送</source>
        <translation>Advanced send</translation>
    </message>
    <message>
        <source>接收区 - 来源串口</source>
        <translation>Received data - from serial port</translation>
    </message>
    <message>
        <source>发送区</source>
        <translation>Send area</translation>
    </message>
    <message>
        <source>发送数据</source>
        <translation>Send data</translation>
    </message>
    <message>
        <source>文件区</source>
        <translation>File area</translation>
    </message>
    <message>
        <source>打开文件</source>
        <translation>Open file</translation>
    </message>
    <message>
        <source>发送文件</source>
        <translation>Send file</translation>
    </message>
    <message>
        <source>窗口风格</source>
        <translation>Style</translation>
    </message>
    <message>
        <source>功能设置</source>
        <translation>Functions</translation>
    </message>
    <message>
        <source>支持</source>
        <translation>Support</translation>
    </message>
    <message>
        <source>toolBar</source>
        <translation>toolBar</translation>
    </message>
    <message>
        <source>操作隐藏(&amp;H)</source>
        <translation>&amp;Hide controls</translation>
    </message>
    <message>
        <source>操作隐藏</source>
        <translation>Hide controls</translation>
    </message>
    <message>
        <source>Ctrl+H</source>
        <translation>Ctrl+H</translation>
    </message>
    <message>
        <source>个性设置(&amp;X)</source>
        <translation>&amp;Preferences</translation>
    </message>
    <message>
        <source>个性设置</source>
        <translation>Preferences</translation>
    </message>
    <message>
        <source>Ctrl+X</source>
        <translation>Ctrl+X</translation>
    </message>
    <message>
        <source>日志共享(&amp;D)</source>
        <translation>Log &amp;sharing</translation>
    </message>
    <message>
        <source>日志共享</source>
        <translation>Log sharing</translation>
    </message>
    <message>
        <source>Ctrl+D</source>
        <translation>Ctrl+D</translation>
    </message>
    <message>
        <source>日志过滤(&amp;B)</source>
        <translation>&amp;Log filter</translation>
    </message>
    <message>
        <source>日志过滤</source>
        <translation>Log filter</translation>
    </message>
    <message>
        <source>Ctrl+B</source>
        <translation>Ctrl+B</translation>
    </message>
    <message>
        <source>更新记录(&amp;I)</source>
        <translation>&amp;Change log</translation>
    </message>
    <message>
        <source>更新记录</source>
        <translation>Change log</translation>
    </message>
    <message>
        <source>Ctrl+I</source>
        <translation>Ctrl+I</translation>
    </message>
    <message>
        <source>欢迎打赏(&amp;J)</source>
        <translation>&amp;Donate</translation>
    </message>
    <message>
        <source>欢迎打赏</source>
        <translation>Donate</translation>
    </message>
    <message>
        <source>Ctrl+J</source>
        <translation>Ctrl+J</translation>
    </message>
    <message>
        <source>技术支持</source>
        <translation>Technical support</translation>
    </message>
    <message>
        <source>下载最新版</source>
        <translation>Download the latest version</translation>
    </message>
    <message>
        <source>OrvWeb服务器(&amp;W)</source>
        <translation>OrvWeb &amp;server</translation>
    </message>
    <message>
        <source>OrvWeb服务器</source>
        <translation>OrvWeb server</translation>
    </message>
    <message>
        <source>Ctrl+W</source>
        <translation>Ctrl+W</translation>
    </message>
    <message>
        <source>应用名：%1<byte value="xd"/>
版本号：%2</source>
        <translation>Application: %1<byte value="xd"/>
Version: %2</translation>
    </message>
    <message>
        <source>应用名：%1<byte value="xd"/>
版本号：%2<byte value="xd"/>
端口号：%3</source>
        <translation>Application: %1<byte value="xd"/>
Version: %2<byte value="xd"/>
Port: %3</translation>
    </message>
    <message>
        <source>F%1</source>
        <translation>F%1</translation>
    </message>
    <message>
        <source>溢出</source>
        <translation>overrun</translation>
    </message>
    <message>
        <source>缓冲区溢出</source>
        <translation>buffer overrun</translation>
    </message>
    <message>
        <source>帧错误</source>
        <translation>framing</translation>
    </message>
    <message>
        <source>校验错误</source>
        <translation>parity</translation>
    </message>
    <message>
        <source>中断</source>
        <translation>break</translation>
    </message>
    <message>
        <source>自打开串口以来驱动统计的线路错误，每次出现都在接收区标出位置</source>
        <translation>Line errors the driver counted since the port was opened; each one is marked where it happened in the received data</translation>
    </message>
    <message>
        <source>复位开发板：RTS置位、DTR释放 %1 ms（ESP32的EN拉低），再DTR、RTS同时置位 %2 ms（ESP32正常启动；Arduino经电容接DTR的复位电路在此复位），然后恢复原来的DTR/RTS</source>
        <translation>Reset the board: RTS asserted and DTR released for %1 ms (pulls the ESP32 EN low), then DTR and RTS asserted together for %2 ms (the ESP32 starts normally; an Arduino reset circuit with a capacitor on DTR resets here), then the previous DTR/RTS again</translation>
    </message>
    <message>
        <source>ESP32进入下载模式：RTS置位、DTR释放 %1 ms（EN拉低），再DTR置位、RTS释放 %2 ms（IO0拉低时EN释放，芯片进入下载模式），然后恢复原来的DTR/RTS</source>
        <translation>ESP32 boot mode: RTS asserted and DTR released for %1 ms (EN low), then DTR asserted and RTS released for %2 ms (EN is released while IO0 is low, so the chip enters download mode), then the previous DTR/RTS again</translation>
    </message>
    <message>
        <source>打开串口后立即同时释放DTR和RTS。Linux在打开时总会先置位这两条线，程序无法阻止；释放紧随其后（通常只有几毫秒），且两条线同时变化，ESP32的自动复位电路因此不动作，但经电容接DTR的复位电路（如Arduino）仍可能被触发</source>
        <translation>Release DTR and RTS together right after opening. Linux always asserts both lines when a port opens and no program can prevent it; the release follows at once (usually within a few milliseconds) and both lines change together, so the ESP32 auto-reset circuit does not act, but a reset circuit with a capacitor on DTR (such as an Arduino) may still fire</translation>
    </message>
    <message>
        <source>Lines: %1</source>
        <translation>Lines: %1</translation>
    </message>
    <message>
        <source>Recv: %1</source>
        <translation>Recv: %1</translation>
    </message>
    <message>
        <source>Send: %1</source>
        <translation>Send: %1</translation>
    </message>
    <message>
        <source>通知</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>尚无任何数据，无需保存！	</source>
        <translation>There is no data to save yet!	</translation>
    </message>
    <message>
        <source>%1/Orv_All_Rec_%2_%3.txt</source>
        <translation>%1/Orv_All_Rec_%2_%3.txt</translation>
    </message>
    <message>
        <source>%1/Orv_Auto_Rec_%2_%3.txt</source>
        <translation>%1/Orv_Auto_Rec_%2_%3.txt</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>文件保存失败！	</source>
        <translation>Saving the file failed!	</translation>
    </message>
    <message>
        <source>窗口数据已成功保存至指定文件！
%1	</source>
        <translation>The received data was saved to the file!
%1	</translation>
    </message>
    <message>
        <source>⚠ 磁盘已满，丢弃了 %1 行未保存的数据</source>
        <translation>⚠ Disk full: %1 unsaved lines were dropped</translation>
    </message>
    <message>
        <source>文件保存失败 %1 次，%2 行数据等待写入磁盘</source>
        <translation>Saving failed %1 times, %2 lines wait for the disk</translation>
    </message>
    <message>
        <source>每收到一行即写入 Record 文件夹中的实时记录文件
当前文件：%1</source>
        <translation>Write every received line to a live record file in the Record folder
Current file: %1</translation>
    </message>
    <message>
        <source>实时保存失败：%1
%2	</source>
        <translation>Live record failed: %1
%2	</translation>
    </message>
    <message>
        <source>Virtual serial port</source>
        <translation>Virtual serial port</translation>
    </message>
    <message>
        <source>关闭串口</source>
        <translation>Close port</translation>
    </message>
    <message>
        <source>%1: 端口号断开	</source>
        <translation>%1: port disconnected	</translation>
    </message>
    <message>
        <source>串口打开失败：%1 
[ 请检查是否串口被占用或未连接 ]	</source>
        <translation>Opening the port failed: %1 
[ Check whether the port is in use or not connected ]	</translation>
    </message>
    <message>
        <source>串口已打开 </source>
        <translation>Port open </translation>
    </message>
    <message>
        <source>请先停用自动发送功能，再尝试关闭串口！	</source>
        <translation>Turn off auto send before closing the port!	</translation>
    </message>
    <message>
        <source>串口未打开 </source>
        <translation>Port closed </translation>
    </message>
    <message>
        <source>恢复接收</source>
        <translation>Resume receiving</translation>
    </message>
    <message>
        <source>⚠ %1 串口已断开，等待重新连接…</source>
        <translation>⚠ %1 Port disconnected, waiting to reconnect…</translation>
    </message>
    <message>
        <source>等待重连</source>
        <translation>Waiting…</translation>
    </message>
    <message>
        <source>串口已断开，等待重新连接 </source>
        <translation>Port lost, waiting </translation>
    </message>
    <message>
        <source>✓ %1 已重新连接</source>
        <translation>✓ %1 Reconnected</translation>
    </message>
    <message>
        <source>是文件夹</source>
        <translation>is a folder</translation>
    </message>
    <message>
        <source>是命名管道</source>
        <translation>is a named pipe</translation>
    </message>
    <message>
        <source>是终端或字符设备</source>
        <translation>is a terminal or character device</translation>
    </message>
    <message>
        <source>是块设备</source>
        <translation>is a block device</translation>
    </message>
    <message>
        <source>是套接字</source>
        <translation>is a socket</translation>
    </message>
    <message>
        <source>类型未知</source>
        <translation>unknown type</translation>
    </message>
    <message>
        <source>文件 %1 不是普通文件（%2），无法读取	</source>
        <translation>File %1 is not a regular file (%2) and cannot be read	</translation>
    </message>
    <message>
        <source>文件 %1 读取失败：%2	</source>
        <translation>Reading file %1 failed: %2	</translation>
    </message>
    <message>
        <source>文件过大（超过64MB），无法发送！	</source>
        <translation>The file is too large (over 64 MB) to send!	</translation>
    </message>
    <message>
        <source>发送失败：%1	</source>
        <translation>Sending failed: %1	</translation>
    </message>
    <message>
        <source>不是有效的HEX字符组合，请输入(&quot;0-9&quot;,&quot;A-F&quot;,&quot;a-f&quot;)	</source>
        <translation>Not valid hex, please enter (&quot;0-9&quot;,&quot;A-F&quot;,&quot;a-f&quot;)	</translation>
    </message>
    <message>
        <source>所有支持的文件(*.*);;bin文件(*.bin);;hex文件(*.hex);;dat文件(*.dat)</source>
        <translation>All supported files (*.*);;bin files (*.bin);;hex files (*.hex);;dat files (*.dat)</translation>
    </message>
    <message>
        <source>文件 %1 打开失败	</source>
        <translation>Opening file %1 failed	</translation>
    </message>
    <message>
        <source>文件大小:%1字节,下面是预览的前4000字节内容:

</source>
        <translation>File size: %1 bytes. A preview of the first 4000 bytes follows:

</translation>
    </message>
    <message>
        <source>没有指定文件路径！	</source>
        <translation>No file chosen!	</translation>
    </message>
    <message>
        <source>串口未打开，无法发送文件！	</source>
        <translation>The port is not open, the file cannot be sent!	</translation>
    </message>
    <message>
        <source>打开文件失败！	</source>
        <translation>Opening the file failed!	</translation>
    </message>
    <message>
        <source>文件大小: %1</source>
        <translation>File size: %1</translation>
    </message>
    <message>
        <source>波特率: %1</source>
        <translation>Baud rate: %1</translation>
    </message>
    <message>
        <source>需要时间: 大约用时 %1 秒(每包数据512字节，周期50毫秒)</source>
        <translation>Time needed: about %1 s (512 bytes per packet, one packet every 50 ms)</translation>
    </message>
    <message>
        <source>请稍候...
</source>
        <translation>Please wait...
</translation>
    </message>
    <message>
        <source>文件大小：%1 字节，已发送：%2 字节，状态：传输中</source>
        <translation>File size: %1 bytes, sent: %2 bytes, state: sending</translation>
    </message>
    <message>
        <source>停止发送</source>
        <translation>Stop sending</translation>
    </message>
    <message>
        <source>文件发送失败：%1	</source>
        <translation>Sending the file failed: %1	</translation>
    </message>
    <message>
        <source>文件大小：%1 字节，已发送：%2 字节，状态：传输完成</source>
        <translation>File size: %1 bytes, sent: %2 bytes, state: done</translation>
    </message>
    <message>
        <source>发送完毕！</source>
        <translation>Sending done!</translation>
    </message>
    <message>
        <source>文件发送失败</source>
        <translation>Sending the file failed</translation>
    </message>
    <message>
        <source>MCU(M4)长时间未响应	</source>
        <translation>The MCU (M4) did not answer for a long time	</translation>
    </message>
    <message>
        <source>当前时间: </source>
        <translation>Time: </translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>显示主窗口</source>
        <translation>Show main window</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>打开/关闭指定串口</source>
        <translation>Open or close the chosen port</translation>
    </message>
    <message>
        <source>暂停/恢复接收串口数据</source>
        <translation>Pause or resume receiving from the port</translation>
    </message>
    <message>
        <source>保存接收区的数据内容至程序安装目录的Record文件夹下</source>
        <translation>Save the received data to the Record folder in the working folder</translation>
    </message>
    <message>
        <source>清空接收区的数据显示</source>
        <translation>Clear the received data</translation>
    </message>
    <message>
        <source>显示附加功能窗口（可进行校验和计算、字符串/16进制转换和数据封装等）</source>
        <translation>Show the extra functions window (checksums, text/hex conversion, frame encapsulation and more)</translation>
    </message>
    <message>
        <source>显示高级发送窗口（可自定义发送多条数据 字符串/16进制）</source>
        <translation>Show the advanced send window (many stored messages, text or hex)</translation>
    </message>
    <message>
        <source>将发送区内显示的数据发送出去</source>
        <translation>Send the data in the send area</translation>
    </message>
    <message>
        <source>打开需要发送的文件</source>
        <translation>Open the file to send</translation>
    </message>
    <message>
        <source>将打开的文件从串口发送出去</source>
        <translation>Send the opened file through the port</translation>
    </message>
    <message>
        <source>OrvWeb服务器
账号：guest    密码：guest</source>
        <translation>OrvWeb server
User: guest    Password: guest</translation>
    </message>
    <message>
        <source>* 项目名称：%1
</source>
        <translation>* Project: %1
</translation>
    </message>
    <message>
        <source>* 项目简介：一个串口通信应用程序
</source>
        <translation>* About: a serial communication program
</translation>
    </message>
    <message>
        <source>* 创建日期：2022.05.11
</source>
        <translation>* Created: 2022.05.11
</translation>
    </message>
    <message>
        <source>* 运行平台：Linux 桌面（Qt 5）
</source>
        <translation>* Platform: Linux desktop (Qt 5)
</translation>
    </message>
    <message>
        <source>* 更新记录：每个版本的改动写在本文件下方
</source>
        <translation>* Changes: the changes of each version are listed below
</translation>
    </message>
    <message>
        <source>缺少 OrvUpdatePlugin.dll 库	</source>
        <translation>The OrvUpdatePlugin.dll library is missing	</translation>
    </message>
    <message>
        <source>%1/%2</source>
        <translation>%1/%2</translation>
    </message>
    <message>
        <source>%1 - %2</source>
        <translation>%1 - %2</translation>
    </message>
    <message>
        <source>祝您调试顺利！</source>
        <translation>Happy debugging!</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>是否确认要退出程序？</source>
        <translation>Do you really want to quit?</translation>
    </message>
    <message>
        <source>时间: %1</source>
        <translation>Time: %1</translation>
    </message>
    <message>
        <source>Sel: %1</source>
        <translation>Sel: %1</translation>
    </message>
    <message>
        <source>操作显示(&amp;H)</source>
        <translation>S&amp;how controls</translation>
    </message>
    <message>
        <source>A、自动扫描并列举出当前电脑上所有可用的串口，包括物理串口和USB转232串口等。完美兼容各款操作系统</source>
        <translation>A. Finds and lists every serial port of this computer, physical ports and USB-to-serial adapters alike.</translation>
    </message>
    <message>
        <source>B、多种波特率可选，最大支持921600；数据位、校验位、停止位等参数均可自定义选择</source>
        <translation>B. Many baud rates, up to 921600; data bits, parity and stop bits can all be chosen.</translation>
    </message>
    <message>
        <source>C、接收的数据支持以字符形式或者16进制格式显示，支持中英文显示，无乱码，数据不丢失</source>
        <translation>C. Received data is shown as text or as hex, Chinese and English alike, without garbling or loss.</translation>
    </message>
    <message>
        <source>D、主窗口支持重复发送数据，发送间隔可自定义。支持以字符形式或者16进制格式发送</source>
        <translation>D. The main window sends data repeatedly at a chosen interval, as text or as hex.</translation>
    </message>
    <message>
        <source>E、可以保存窗口内容到一个文本文件，文件名取自当前日期和时间，保存至程序同级目录的Record文件夹下</source>
        <translation>E. Saves the received data to a text file named by date and time in the Record folder.</translation>
    </message>
    <message>
        <source>F、接收到的数据可定时清空，并支持在清空之前自动保存所有数据，满足长时间挂机调试的应用需求</source>
        <translation>F. Clears received data at a line limit and can save it all first, for long unattended runs.</translation>
    </message>
    <message>
        <source>G、支持显示数据接收时间(支持毫秒级显示)以及数据传输方向，提高调试信息的可阅读性</source>
        <translation>G. Shows when data arrived (to the millisecond) and its direction, for easier reading.</translation>
    </message>
    <message>
        <source>H、多达99条自定数据的高级发送功能，每条数据可单独设置重发间隔(不填或填0表示不发)，也可统一设置</source>
        <translation>H. Advanced send with up to 99 stored messages, each with its own delay, or sent in a cycle.</translation>
    </message>
    <message>
        <source>I、集成校验和计算、显示格式转换以及帧格式封装解封等多项附加功能，支持自动识别字符16进制功能</source>
        <translation>I. Extra functions: checksums, text/hex conversion, frame encapsulation and more.</translation>
    </message>
    <message>
        <source>J、全部自定义设置记录在一个配置文件中，关闭时自动保存，打开时自动载入，提高程序的易用性</source>
        <translation>J. Every setting is kept in one settings file, saved as it changes and loaded at start.</translation>
    </message>
    <message>
        <source>K、具有文件发送功能，发送过程中以进度条形式和文本形式展示发送进度，便于观察和使用</source>
        <translation>K. Sends files, showing the progress as a bar and as text.</translation>
    </message>
    <message>
        <source>Quillon 是一款面向嵌入式开发的串口调试助手，主要功能如下：</source>
        <translation>Quillon is a serial port debugging assistant for embedded development. Its main functions:</translation>
    </message>
    <message>
        <source>设计：Quillon 开发组</source>
        <translation>Design: the Quillon developers</translation>
    </message>
    <message>
        <source>创建于2021.05.17</source>
        <translation>Created 2021.05.17</translation>
    </message>
    <message>
        <source>程序功能简介：%1</source>
        <translation>About: %1</translation>
    </message>
    <message>
        <source>开启日记共享</source>
        <translation>Start log sharing</translation>
    </message>
    <message>
        <source>是否确认要开启日记共享功能？
这会清空本地缓存和无法打开本地串口	</source>
        <translation>Do you really want to enable log sharing?
This clears the local data, and the local port cannot be opened meanwhile	</translation>
    </message>
    <message>
        <source>接收区 - </source>
        <translation>Received data - </translation>
    </message>
    <message>
        <source>日志共享功能已关闭	</source>
        <translation>Log sharing is off	</translation>
    </message>
    <message>
        <source>欢迎使用quillon - 串口调试助手</source>
        <translation>Welcome to Quillon - serial assistant</translation>
    </message>
</context>
<context>
    <name>RxFormat</name>
    <message>
        <source>RX←◆</source>
        <translation>RX←◆</translation>
    </message>
    <message>
        <source>TX→◇</source>
        <translation>TX→◇</translation>
    </message>
    <message>
        <source>[%1]%2</source>
        <translation>[%1]%2</translation>
    </message>
</context>
<context>
    <name>ShareText</name>
    <message>
        <source>%1[%2]</source>
        <translation>%1[%2]</translation>
    </message>
    <message>
        <source>本地监听 [%1:%2]</source>
        <translation>listening on [%1:%2]</translation>
    </message>
    <message>
        <source>来源网络 [%1:%2]</source>
        <translation>from network [%1:%2]</translation>
    </message>
    <message>
        <source>；传至 → [%1:%2]</source>
        <translation>; forwarded to → [%1:%2]</translation>
    </message>
    <message>
        <source>；对方漏收 %1 字节</source>
        <translation>; peer missed %1 bytes</translation>
    </message>
</context>
<context>
    <name>TextBrowser</name>
    <message>
        <source>复制(&amp;C)</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <source>粘贴(&amp;P)</source>
        <translation>&amp;Paste</translation>
    </message>
    <message>
        <source>字体</source>
        <translation>Font</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>保存数据</source>
        <translation>Save data</translation>
    </message>
    <message>
        <source>全选</source>
        <translation>Select all</translation>
    </message>
</context>
<context>
    <name>WelcomeDialog</name>
    <message>
        <source>Dialog</source>
        <translation>Dialog</translation>
    </message>
    <message>
        <source>感谢您使用 Quillon 串口调试助手！</source>
        <translation>Thank you for using Quillon!</translation>
    </message>
    <message>
        <source>如果它对您有帮助，欢迎扫码支持后续开发。</source>
        <translation>If it helps you, scan to support it.</translation>
    </message>
    <message>
        <source>Quillon - 欢迎打赏</source>
        <translation>Quillon - Donate</translation>
    </message>
</context>
</TS>
