// Winsock 1.1 on top of BSD sockets.
//
// Functions whose names the C library also uses (socket, send, recv, connect, ...)
// are declared with C++ linkage, so their symbols never collide with the C
// library's; translation units that include this header never include the
// system socket headers.
#pragma once

typedef UINT_PTR SOCKET;
#define INVALID_SOCKET ((SOCKET)(~0))
#define SOCKET_ERROR (-1)

#define WSADESCRIPTION_LEN 256
#define WSASYS_STATUS_LEN 128

typedef struct WSAData {
  WORD wVersion;
  WORD wHighVersion;
  char szDescription[WSADESCRIPTION_LEN + 1];
  char szSystemStatus[WSASYS_STATUS_LEN + 1];
  unsigned short iMaxSockets;
  unsigned short iMaxUdpDg;
  char* lpVendorInfo;
} WSADATA, *LPWSADATA;

#define WSABASEERR 10000
#define WSAEINTR 10004
#define WSAEBADF 10009
#define WSAEACCES 10013
#define WSAEFAULT 10014
#define WSAEINVAL 10022
#define WSAEMFILE 10024
#define WSAEWOULDBLOCK 10035
#define WSAEINPROGRESS 10036
#define WSAEALREADY 10037
#define WSAENOTSOCK 10038
#define WSAEDESTADDRREQ 10039
#define WSAEMSGSIZE 10040
#define WSAEPROTOTYPE 10041
#define WSAENOPROTOOPT 10042
#define WSAEPROTONOSUPPORT 10043
#define WSAESOCKTNOSUPPORT 10044
#define WSAEOPNOTSUPP 10045
#define WSAEPFNOSUPPORT 10046
#define WSAEAFNOSUPPORT 10047
#define WSAEADDRINUSE 10048
#define WSAEADDRNOTAVAIL 10049
#define WSAENETDOWN 10050
#define WSAENETUNREACH 10051
#define WSAENETRESET 10052
#define WSAECONNABORTED 10053
#define WSAECONNRESET 10054
#define WSAENOBUFS 10055
#define WSAEISCONN 10056
#define WSAENOTCONN 10057
#define WSAESHUTDOWN 10058
#define WSAETOOMANYREFS 10059
#define WSAETIMEDOUT 10060
#define WSAECONNREFUSED 10061
#define WSAELOOP 10062
#define WSAENAMETOOLONG 10063
#define WSAEHOSTDOWN 10064
#define WSAEHOSTUNREACH 10065
#define WSASYSNOTREADY 10091
#define WSAVERNOTSUPPORTED 10092
#define WSANOTINITIALISED 10093
#define WSAHOST_NOT_FOUND 11001
#define WSATRY_AGAIN 11002
#define WSANO_RECOVERY 11003
#define WSANO_DATA 11004

#define WSASYSCALLFAILURE 10107

typedef unsigned char u_char;
typedef unsigned short u_short;
typedef unsigned int u_int;
typedef unsigned long u_long;

#define AF_INET 2
#define SOCK_STREAM 1
#define IPPROTO_TCP 6

#define MSG_OOB 0x1
#define MSG_PEEK 0x2

// ioctlsocket commands, encoded as Winsock encodes them.
#define FIONREAD 0x4004667FL

#define INADDR_ANY ((u_long)0x00000000)
#define INADDR_NONE 0xffffffff

// Network events of the socket message (low word of lParam; error in the high word).
#define FD_READ 0x01
#define FD_WRITE 0x02
#define FD_OOB 0x04
#define FD_ACCEPT 0x08
#define FD_CONNECT 0x10
#define FD_CLOSE 0x20
#define WSAGETSELECTEVENT(lParam) LOWORD(lParam)
#define WSAGETSELECTERROR(lParam) HIWORD(lParam)

struct in_addr {
  union {
    struct {
      UCHAR s_b1, s_b2, s_b3, s_b4;
    } S_un_b;
    struct {
      USHORT s_w1, s_w2;
    } S_un_w;
    ULONG S_addr;
  } S_un;
};
#define s_addr S_un.S_addr
typedef struct in_addr IN_ADDR;

struct sockaddr {
  u_short sa_family;
  char sa_data[14];
};
typedef struct sockaddr SOCKADDR;

struct sockaddr_in {
  short sin_family;
  u_short sin_port;
  struct in_addr sin_addr;
  char sin_zero[8];
};
typedef struct sockaddr_in SOCKADDR_IN;

struct hostent {
  char* h_name;
  char** h_aliases;
  short h_addrtype;
  short h_length;
  char** h_addr_list;
};
#define h_addr h_addr_list[0]
typedef struct hostent HOSTENT;

struct servent {
  char* s_name;
  char** s_aliases;
  short s_port;
  char* s_proto;
};
typedef struct servent SERVENT;

// Names the C library also has: C++ linkage (see above).
PLATFORM_API SOCKET WINAPI socket(int af, int type, int protocol);
PLATFORM_API int WINAPI send(SOCKET s, const char* buf, int len, int flags);
PLATFORM_API int WINAPI recv(SOCKET s, char* buf, int len, int flags);
PLATFORM_API int WINAPI connect(SOCKET s, const struct sockaddr* name, int namelen);
PLATFORM_API u_long WINAPI inet_addr(const char* cp);
PLATFORM_API u_short WINAPI htons(u_short value);
PLATFORM_API u_short WINAPI ntohs(u_short value);
PLATFORM_API u_long WINAPI htonl(u_long value);
PLATFORM_API u_long WINAPI ntohl(u_long value);
PLATFORM_API struct hostent* WINAPI gethostbyname(const char* name);
PLATFORM_API struct servent* WINAPI getservbyname(const char* name, const char* protocol);

extern "C" {
PLATFORM_API int WINAPI ioctlsocket(SOCKET s, long cmd, u_long* argp);
PLATFORM_API int WINAPI WSAStartup(WORD versionRequested, LPWSADATA data);
PLATFORM_API int WINAPI WSACleanup(void);
PLATFORM_API int WINAPI WSAGetLastError(void);
PLATFORM_API void WINAPI WSASetLastError(int error);
PLATFORM_API int WINAPI closesocket(SOCKET s);
PLATFORM_API int WINAPI WSAAsyncSelect(SOCKET s, HWND window, u_int message, long events);
}
